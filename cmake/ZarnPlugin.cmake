# The plug-in: every source of its subsystems' folders, compiled once into an
# object library that the module and the unit tests share.
include(${CMAKE_CURRENT_LIST_DIR}/ZarnPluginDirs.cmake)
set(ZARN_PLUGIN_SOURCES)
foreach(dir IN LISTS ZARN_PLUGIN_DIRS)
  file(GLOB dir_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${dir}/*.cpp)
  list(APPEND ZARN_PLUGIN_SOURCES ${dir_sources})
endforeach()
# Platform files carry their platform in the name.
if(WIN32)
  list(FILTER ZARN_PLUGIN_SOURCES EXCLUDE REGEX "_posix\\.cpp$")
else()
  list(FILTER ZARN_PLUGIN_SOURCES EXCLUDE REGEX "_win\\.cpp$")
endif()
list(FILTER ZARN_PLUGIN_SOURCES EXCLUDE REGEX "/shell/entry_point\\.cpp$")

add_library(zarn_core OBJECT ${ZARN_PLUGIN_SOURCES})
target_include_directories(zarn_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(zarn_core PUBLIC PkgConfig::FFMPEG)

# The module exports EntryPointFunc and nothing else.
add_library(Zarn_Importer MODULE ${PROJECT_SOURCE_DIR}/shell/entry_point.cpp $<TARGET_OBJECTS:zarn_core>)
target_include_directories(Zarn_Importer PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(Zarn_Importer PRIVATE PkgConfig::FFMPEG)
# zarn-host finds the module next to itself.
set_target_properties(Zarn_Importer PROPERTIES PREFIX "" SUFFIX ".aex"
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
if(NOT WIN32)
  target_link_options(Zarn_Importer PRIVATE -Wl,--exclude-libs,ALL -Wl,--no-undefined)
  target_link_options(Zarn_Importer PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/shell/exports.map)
  set_property(TARGET Zarn_Importer APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/shell/exports.map)
endif()
include(${PROJECT_SOURCE_DIR}/shell/pipl/pipl_rc.cmake)
if(WIN32)
  # The host finds the entry point through the PiPL resource.
  enable_language(RC)
  target_sources(Zarn_Importer PRIVATE ${ZARN_PIPL_RC})
  # Generate the script once, before the module needs it (two targets running
  # the same generator in parallel would race over the file).
  add_dependencies(Zarn_Importer zarn_pipl_rc)
  # The installed file carries no debug sections (a Debug build keeps them).
  target_link_options(Zarn_Importer PRIVATE $<$<NOT:$<CONFIG:Debug>>:-s>)
endif()
