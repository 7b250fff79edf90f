#!/usr/bin/env bash
# `make windows`: cross-builds Zarn_Importer.aex, the stand-in host and the
# tests for 64-bit Windows into BUILD_DIR (default build-win).
# Usage: build.sh [BUILD_DIR]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${1:-build-win}
case $build in /*) ;; *) build=$repo/$build ;; esac
jobs=${JOBS:-$(nproc)}

# The Linux side makes the test media and runs the generator tools: the
# project's own dependencies first, then the cross toolchain and Wine.
"$repo/scripts/install-deps.sh"
"$here/install-toolchain.sh"

prefix=$("$here/build-ffmpeg.sh" | tail -1)

# A new FFmpeg folder (new flags, new source version) needs a fresh
# configure: the tree caches the library and GTest paths inside the old one.
fresh=()
stamp=$build/.ffmpeg-prefix
if [ -f "$build/CMakeCache.txt" ] && [ "$(cat "$stamp" 2>/dev/null)" != "$prefix" ]; then
  fresh=(--fresh)
fi
cmake "${fresh[@]}" -S "$repo" -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-mingw64.cmake" \
  -DZARN_FFMPEG_WIN_PREFIX="$prefix" \
  -DZARN_BUILD_BENCH=OFF
printf '%s\n' "$prefix" >"$stamp"
# The module first: it lands even when a test program does not build.
cmake --build "$build" -j "$jobs" --target Zarn_Importer
echo "Windows module: $build/bin/Zarn_Importer.aex"
cmake --build "$build" -j "$jobs"
