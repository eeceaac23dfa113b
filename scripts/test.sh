#!/usr/bin/env bash
# Sets up (packages, configure, build) and runs every test; GUI tests run under Xvfb.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
build=${PARVIX_BUILD_DIR:-$here/build}
cd "$build"
# Mesa's software OpenGL under a private X server.
export LIBGL_ALWAYS_SOFTWARE=1
exec xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure "$@"
