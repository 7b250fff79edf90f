# The plug-in's source folders, top subsystem first; read by the real build
# and by the fuzzing tree so both compile the same files.
set(ZARN_PLUGIN_DIRS shell host_abi footage video audio diag platform)
