#!/usr/bin/env bash
# Installs the mingw-w64 cross toolchain, the tools for FFmpeg's and dav1d's
# cross builds (meson and ninja for dav1d, zlib for PNG and compressed
# Matroska tracks), Wine (to run the Windows tests) and a virtual X display
# with xdotool (to answer the plug-in's dialog), when missing.
set -euo pipefail
exec "$(dirname "$0")/../install-deps.sh" gcc-mingw-w64-x86-64 g++-mingw-w64-x86-64 \
  binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev libz-mingw-w64-dev nasm meson ninja-build \
  icoutils wine64 dpkg-dev make cmake xz-utils xvfb xdotool
