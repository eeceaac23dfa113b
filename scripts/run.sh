#!/usr/bin/env bash
# Sets up, builds and starts the application. Without real phones configured it
# runs on a fresh fleet of four virtual phones; PARVIX_REAL_PHONES=1 uses the real adb.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
build=${PARVIX_BUILD_DIR:-$here/build}

if [ "${PARVIX_REAL_PHONES:-0}" != 1 ] && [ -z "${PARVIX_ADB:-}" ]; then
  export PHONESIM_HOME=${PHONESIM_HOME:-$build/phonesim-home}
  rm -rf "$PHONESIM_HOME"
  "$build/tools/phonesim/phonesim" init --home "$PHONESIM_HOME" --phones "${PARVIX_VIRTUAL_PHONES:-4}"
  export PARVIX_ADB="$build/tools/phonesim/phonesim"
  export PARVIX_SCRCPY_SERVER=${PARVIX_SCRCPY_SERVER:-$PHONESIM_HOME/scrcpy-server}
  echo "run: virtual phones in $PHONESIM_HOME (PARVIX_REAL_PHONES=1 for real ones)"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export LIBGL_ALWAYS_SOFTWARE=1
  exec xvfb-run -a -s "-screen 0 1920x1080x24" "$build/parvix" "$@"
fi
exec "$build/parvix" "$@"
