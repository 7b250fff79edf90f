#!/usr/bin/env bash
# `make fuzz`: installs clang and libFuzzer when missing (Debian packages, as
# root), configures and builds the fuzz tree, makes the seed corpora and runs
# each target for FUZZ_SECONDS seconds at low priority. Crashes are written
# to BUILD/crashes/; the script fails when a target fails.
#   fuzz/run_fuzz.sh [BUILD_DIR]   (env: FUZZ_SECONDS=60, FUZZ_JOBS=2, FUZZ_TARGETS)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-fuzz}
mkdir -p "$build"
# Absolute: the targets run in a temporary directory of their own.
build=$(cd "$build" && pwd)
seconds=${FUZZ_SECONDS:-60}
jobs=${FUZZ_JOBS:-2}
targets=${FUZZ_TARGETS:-media_fuzzer inflate_fuzzer}

if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq clang libclang-rt-14-dev
fi

media=$build/media
"$root/tests/media/cached_media.sh" "$media"
cmake -S "$root/fuzz" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DZARN_FUZZ_CLIP="$media/three_sound_tracks.mkv" >/dev/null
nice cmake --build "$build" -j "$jobs"

corpus=$build/corpus
[ -d "$corpus/media" ] || "$root/fuzz/make_seeds.sh" "$media" "$corpus"
mkdir -p "$build/crashes" "$build/logs"

# Leaks of FFmpeg objects show through LeakSanitizer (it sees every malloc);
# leaked or locked host handles are checked by the targets through the host.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for target in $targets; do
  case $target in
    media_fuzzer) seeds=$corpus/media; max_len=32770 ;;
    inflate_fuzzer) seeds=$corpus/inflate; max_len=2048 ;;
  esac
  work=$build/work/$target
  mkdir -p "$work"
  # Inputs that once failed, kept so that every run tries them again.
  regressions=$root/fuzz/regressions/${target%_fuzzer}
  echo "fuzzing $target for ${seconds}s"
  # stdin is /dev/null: a block may name any file, /dev/stdin included.
  if ! nice -n 15 "$build/$target" "$work" "$seeds" "$regressions" -max_total_time="$seconds" \
      -max_len="$max_len" -rss_limit_mb=3072 -timeout=30 -print_final_stats=1 \
      -artifact_prefix="$build/crashes/$target-" </dev/null 2>"$build/logs/$target.log"; then
    status=1
    echo "$target failed: see $build/logs/$target.log and $build/crashes/"
  fi
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb|^Done' "$build/logs/$target.log" || true
done
exit $status
