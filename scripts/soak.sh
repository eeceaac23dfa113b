#!/usr/bin/env bash
# Soak: 16 virtual phones streaming in tiles for an hour (--minutes N to change it) with
# random stop/start, enlarge, group-control and recording actions; prints memory, open
# descriptors and threads over time and a verdict on growth. Other options go to bench_soak
# (--phones N, --seed S, --sample-seconds T, --action-seconds A). Exit 3: growth.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${PARVIX_BUILD_DIR:-$here/build}
minutes=60
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --minutes) minutes=$2; shift 2 ;;
    *) args+=("$1"); shift ;;
  esac
done
cmake --build "$build" --target bench_soak phonesim >/dev/null
# Mesa's software OpenGL under a private X server.
export LIBGL_ALWAYS_SOFTWARE=1
exec xvfb-run -a -s "-screen 0 1920x1080x24" \
  "$build/bench/soak/bench_soak" --minutes "$minutes" "${args[@]}"
