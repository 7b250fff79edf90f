# The PiPL resource script, generated from shell/pipl.h at build time. The
# Windows build compiles ${ZARN_PIPL_RC} into the module (when cross-building,
# the generator runs through CMAKE_CROSSCOMPILING_EMULATOR).
add_executable(zarn_make_pipl_rc ${PROJECT_SOURCE_DIR}/shell/pipl/make_pipl_rc.cpp)
target_include_directories(zarn_make_pipl_rc PRIVATE ${PROJECT_SOURCE_DIR})
set(ZARN_PIPL_RC ${CMAKE_BINARY_DIR}/generated/pipl.rc)
add_custom_command(
  OUTPUT ${ZARN_PIPL_RC}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
  COMMAND zarn_make_pipl_rc ${ZARN_PIPL_RC}
  DEPENDS zarn_make_pipl_rc
  COMMENT "Generating the PiPL resource script")
add_custom_target(zarn_pipl_rc ALL DEPENDS ${ZARN_PIPL_RC})
