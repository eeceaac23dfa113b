#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ (or $PARVIX_FUZZ_BUILD_DIR) and
# runs each for a while on a copy of its corpus.
#
#   scripts/fuzz.sh [seconds per target] [target ...]      (default 600 s, every target)
#
# New inputs that reach new code land in build-fuzz/corpus/<target>/; a crash is written
# to build-fuzz/crashes/<target>/ and the script fails. Add the crash input to
# tests/fuzz/corpus/<target>/ and a unit test that replays it once the fault is fixed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
shift || true
build=${PARVIX_FUZZ_BUILD_DIR:-$here/build-fuzz}

PARVIX_SETUP_ONLY=1 "$here/scripts/setup.sh"
if ! command -v clang++ > /dev/null; then
  echo "fuzz: clang++ is missing; the fuzz targets need clang and libFuzzer" >&2
  exit 1
fi
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DPARVIX_FUZZ=ON > /dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz_targets

source "$here/scripts/sanitizer-env.sh"
# libFuzzer writes its own crash files; a core dump per crash is not wanted.
export ASAN_OPTIONS="$ASAN_OPTIONS:abort_on_error=0:disable_coredump=1"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in "$here"/tests/fuzz/corpus/*/; do
    targets+=("$(basename "$dir")")
  done
fi

failed=()
for name in "${targets[@]}"; do
  corpus=$build/corpus/$name
  crashes=$build/crashes/$name
  mkdir -p "$corpus" "$crashes"
  echo "== fuzz_$name for ${seconds}s"
  log=$build/fuzz_$name.log
  rc=0
  "$build/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 \
    -timeout=10 -rss_limit_mb=3072 -artifact_prefix="$crashes/" \
    "$corpus" "$here/tests/fuzz/corpus/$name" > "$log" 2>&1 || rc=$?
  # The start and end of the run, its statistics and any report.
  grep -E "INITED|DONE|^stat::|ERROR|SUMMARY|fuzz check failed" "$log" || true
  if [ "$rc" != 0 ] || [ -n "$(ls -A "$crashes")" ]; then
    failed+=("$name")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: crashes in ${failed[*]} (inputs under $build/crashes/)" >&2
  exit 1
fi
echo "fuzz: no crash in ${#targets[@]} targets"
