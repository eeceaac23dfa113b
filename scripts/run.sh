#!/usr/bin/env bash
# Sets up, builds and starts the application. Without real phones configured it
# runs on a fresh fleet of four virtual phones; PARVIX_REAL_PHONES=1 uses the real adb.
# Without an account service configured (PARVIX_ACCOUNT_URL or the "account_url"
# setting) it runs the reference service accountd on 127.0.0.1:8790 beside it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
build=${PARVIX_BUILD_DIR:-$here/build}

if [ "${PARVIX_REAL_PHONES:-0}" != 1 ] && [ -z "${PARVIX_ADB:-}" ]; then
  export PHONESIM_HOME=${PHONESIM_HOME:-$build/phonesim-home}
  rm -rf "$PHONESIM_HOME"
  "$build/tools/phonesim/phonesim" init --home "$PHONESIM_HOME" --phones "${PARVIX_VIRTUAL_PHONES:-4}"
  # PARVIX_VIRTUAL_HOSTS=N: N more fleets as adb servers on 127.0.0.2 ... (add them in the
  # settings as 127.0.0.2:5037 ...); "hostCut": true in a fleet.json cuts that host off.
  for ((h = 2; h < 2 + ${PARVIX_VIRTUAL_HOSTS:-0}; h++)); do
    rm -rf "$PHONESIM_HOME-$h"
    "$build/tools/phonesim/phonesim" init --home "$PHONESIM_HOME-$h" --phones "${PARVIX_VIRTUAL_PHONES:-4}" \
      --host "127.0.0.$h:5037" > /dev/null
    echo "run: virtual adb host 127.0.0.$h:5037 in $PHONESIM_HOME-$h"
    homes="${homes:-$PHONESIM_HOME}:$PHONESIM_HOME-$h"
  done
  export PHONESIM_HOME=${homes:-$PHONESIM_HOME}
  export PARVIX_ADB="$build/tools/phonesim/phonesim"
  export PARVIX_SCRCPY_SERVER=${PARVIX_SCRCPY_SERVER:-${PHONESIM_HOME%%:*}/scrcpy-server}
  echo "run: virtual phones in ${PHONESIM_HOME%%:*} (PARVIX_REAL_PHONES=1 for real ones)"
fi

# The application's settings store (QSettings, native format): a property list on macOS,
# an INI file on Linux.
account_url_configured() {
  if [ "$(uname)" = Darwin ]; then
    [ -n "$(defaults read app.parvix.Application app_settings.account_url 2> /dev/null)" ]
    return
  fi
  local conf=${XDG_CONFIG_HOME:-$HOME/.config}/Parvix/Application.conf
  [ -f "$conf" ] && awk -F= '
    /^\[/ { section = $0; next }
    section == "[app_settings]" && $1 == "account_url" && $2 != "" { found = 1 }
    END { exit !found }' "$conf"
}

account_pid=""
stop_account_service() {
  if [ -n "$account_pid" ]; then
    kill "$account_pid" 2>/dev/null || true
    wait "$account_pid" 2>/dev/null || true
  fi
}
if [ -z "${PARVIX_ACCOUNT_URL:-}" ] && ! account_url_configured; then
  if [ -x "$build/tools/accountd/accountd" ]; then
    account_home=$build/account-home
    mkdir -p "$account_home"
    "$build/tools/accountd/accountd" --db "$account_home/accounts.sqlite" \
      --outbox "$account_home/outbox" --listen 127.0.0.1:8790 &
    account_pid=$!
    trap stop_account_service EXIT
    sleep 0.5
    if kill -0 "$account_pid" 2>/dev/null; then
      echo "run: account service on http://127.0.0.1:8790, mails in $account_home/outbox"
    else
      echo "run: the account service did not start (port 8790 taken?)" >&2
      account_pid=""
    fi
  else
    echo "run: accountd is not built; set PARVIX_ACCOUNT_URL to log in" >&2
  fi
fi

app=$build/parvix
launcher=()
if [ "$(uname)" = Darwin ]; then
  app=$build/parvix.app/Contents/MacOS/parvix
elif [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export LIBGL_ALWAYS_SOFTWARE=1
  launcher=(xvfb-run -a -s "-screen 0 1920x1080x24")
fi
status=0
${launcher[@]+"${launcher[@]}"} "$app" "$@" || status=$? # bash 3.2 (macOS): no empty "${a[@]}" under set -u
exit $status
