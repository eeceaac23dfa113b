#!/usr/bin/env bash
# Builds the Debian package from a build folder, installs it with apt as root, and checks
# the installed application as a user meets it: the command line without a display, the
# desktop entry and AppStream data, then the desktop entry's command under Xvfb on two
# virtual phones (the installed parvix-phonesim, found as "adb" on the PATH) until both
# phones stream into live tiles; then it quits the application and removes the package.
# Usage: scripts/package-check.sh [build folder]. Exit 77 (skipped) when not root.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
desktop=/usr/share/applications/app.parvix.Parvix.desktop
metainfo=/usr/share/metainfo/app.parvix.Parvix.metainfo.xml

fail() {
  echo "package check: FAILED: $*" >&2
  exit 1
}

if [ "${PARVIX_PACKAGE_CHECK_STAGE:-}" = window ]; then
  # Inside Xvfb: start the application the way the desktop starts it.
  work=$PARVIX_PACKAGE_CHECK_WORK
  command=$(sed -n 's/^Exec=//p' "$desktop")
  # shellcheck disable=SC2086 # the entry's command is split like a launcher splits it
  $command --server "$PHONESIM_HOME/scrcpy-server" --start-all > "$work/app.log" 2>&1 &
  app=$!
  trap 'kill "$app" 2> /dev/null || true' EXIT
  servers=0
  for _ in $(seq 1 240); do
    kill -0 "$app" 2>/dev/null || fail "the application ended early: $(cat "$work/app.log")"
    servers=$({ grep -l '"kind":"server"' "$PHONESIM_HOME"/run/procs/*.json 2> /dev/null || true; } | wc -l)
    [ "$servers" -ge 2 ] && break
    sleep 0.5
  done
  [ "$servers" -ge 2 ] || fail "$servers of 2 phones streaming after 120 s; log: $(cat "$work/app.log")"
  # Live tiles: decoded pictures show the virtual phones' orange navigation bar, a colour
  # the window itself has nowhere; each of the two tiles shows about 2700 such pixels.
  orange=0
  for _ in $(seq 1 60); do
    import -window root "$work/window.png"
    orange=$(convert "$work/window.png" -fuzz 8% -fill white -opaque '#D87C2C' \
      -fill black +opaque white -format '%[fx:int(mean*w*h)]' info:)
    [ "$orange" -ge 4000 ] && break
    sleep 1
  done
  echo "package check: $servers phones streaming, $orange navigation-bar pixels in the window"
  [ "$orange" -ge 4000 ] || fail "no live tiles in $work/window.png"
  kill -TERM "$app"
  status=0
  wait "$app" || status=$?
  [ "$status" = 0 ] || fail "the application exited with $status on SIGTERM"
  grep -q '"kill-server"' "$PHONESIM_HOME/adb.log" || fail "adb kill-server did not run at quit"
  exit 0
fi

[ "$(id -u)" = 0 ] || { echo "package check: skipped, installing a package needs root"; exit 77; }

# What the package holds, then the package (the "package" target would build everything).
cmake --build "$build" --target parvix accountd phonesim
(cd "$build" && cpack -G DEB > /dev/null)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$build/parvix_${version}_amd64.deb
[ -f "$deb" ] || fail "$deb was not made"

remove() { DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq parvix > /dev/null || true; }
trap remove EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" > /dev/null

[ "$(command -v parvix)" = /usr/bin/parvix ] || fail "parvix is not on the PATH"
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY parvix --version)" = "parvix $version" ] ||
  fail "parvix --version"
env -u DISPLAY -u WAYLAND_DISPLAY parvix --help | grep -q -- '--start-all' || fail "parvix --help"
desktop-file-validate "$desktop" || fail "desktop entry"
appstreamcli validate --no-net "$metainfo" > /dev/null || fail "AppStream metainfo"
for icon in /usr/share/icons/hicolor/{128x128,256x256,512x512}/apps/app.parvix.Parvix.png \
  /usr/share/icons/hicolor/scalable/apps/app.parvix.Parvix.svg; do
  [ -f "$icon" ] || fail "$icon missing"
done

# A user of its own: private settings and data folders; virtual phones as the PATH's adb.
work=$(mktemp -d)
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config PHONESIM_HOME=$work/fleet
mkdir -p "$HOME" "$work/bin"
parvix-phonesim init --home "$PHONESIM_HOME" --phones 2 > /dev/null
ln -s /usr/bin/parvix-phonesim "$work/bin/adb"
PATH=$work/bin:$PATH LIBGL_ALWAYS_SOFTWARE=1 PARVIX_PACKAGE_CHECK_STAGE=window \
  PARVIX_PACKAGE_CHECK_WORK=$work xvfb-run -a -s "-screen 0 1920x1080x24" "$0" "$build"

remove
trap - EXIT
[ ! -e /usr/bin/parvix ] || fail "parvix is still installed after removal"
rm -rf "$work"
echo "package check: $(basename "$deb") installed, ran and removed"
