# Cross build for 64-bit Windows with Debian's mingw-w64 toolchain.
# The -posix variants: the default (win32) thread model has no std::mutex.
# ZARN_FFMPEG_WIN_PREFIX (cache or environment) is the FFmpeg install made by
# scripts/windows/build-ffmpeg.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZARN_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZARN_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZARN_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ZARN_MINGW}-windres)
set(CMAKE_AR ${ZARN_MINGW}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${ZARN_MINGW}-ranlib CACHE FILEPATH "")

if(NOT ZARN_FFMPEG_WIN_PREFIX AND DEFINED ENV{ZARN_FFMPEG_WIN_PREFIX})
  set(ZARN_FFMPEG_WIN_PREFIX $ENV{ZARN_FFMPEG_WIN_PREFIX})
endif()
# try_compile projects re-read this file: hand the prefix on to them.
set(ENV{ZARN_FFMPEG_WIN_PREFIX} "${ZARN_FFMPEG_WIN_PREFIX}")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZARN_FFMPEG_WIN_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${ZARN_MINGW} ${ZARN_FFMPEG_WIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# FFmpeg is static: pkg-config must report its private libraries too, and
# must never see the Linux FFmpeg.
if(ZARN_FFMPEG_WIN_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} "${ZARN_FFMPEG_WIN_PREFIX}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
endif()
set(PKG_CONFIG_ARGN --static)

# One self-contained file per program: the C++ runtime, libgcc and winpthread
# are linked in, so the module and the tests import only system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Windows programs (tests, test discovery) run under Wine in a prefix of the
# build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR
  ${CMAKE_CURRENT_LIST_DIR}/../scripts/windows/wine-run;${CMAKE_BINARY_DIR}/wineprefix)
