#!/usr/bin/env bash
# Installs every Debian package the build, the run and the tests need (idempotent),
# then configures and builds into build/ (or $PARVIX_BUILD_DIR).
# On macOS the same with Homebrew (the Debian list below is not used there).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${PARVIX_BUILD_DIR:-$here/build}

if [ "$(uname)" = Darwin ]; then
  command -v brew > /dev/null || { echo "setup: Homebrew is needed (https://brew.sh)" >&2; exit 1; }
  formulae=(qt ffmpeg libsodium cmake ninja pkg-config ccache librsvg)
  missing=()
  for f in "${formulae[@]}"; do
    brew list --formula "$f" > /dev/null 2>&1 || missing+=("$f")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    brew install "${missing[@]}"
  fi
  # adb; the build copies it into the application bundle.
  brew list --cask android-platform-tools > /dev/null 2>&1 || brew install --cask android-platform-tools
  [ "${PARVIX_SETUP_ONLY:-0}" = 1 ] && exit 0
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} \
    -DCMAKE_PREFIX_PATH="$(brew --prefix qt);$(brew --prefix libsodium)"
  cmake --build "$build" -j "$(sysctl -n hw.ncpu)"
  exit 0
fi

packages=(
  build-essential cmake ninja-build pkg-config ccache git
  qt6-base-dev qt6-base-dev-tools qt6-declarative-dev qt6-declarative-dev-tools
  qt6-multimedia-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools linguist-qt6
  libqt6opengl6-dev libqt6svg6 libgl-dev libglx-dev
  qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-templates
  qml6-module-qtquick-window qml6-module-qtquick-layouts qml6-module-qtqml-workerscript
  qml6-module-qtquick-dialogs qml6-module-qt-labs-platform qml6-module-qt-labs-folderlistmodel qml6-module-qtqml-models
  qml6-module-qtqml
  qml6-module-qttest
  qt6-qpa-plugins
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev ffmpeg
  adb
  qt6-websockets-dev libqt6sql6-sqlite libsodium-dev
  xvfb xauth x11-utils libgl1-mesa-dri mesa-utils imagemagick fonts-wqy-microhei
  pulseaudio pulseaudio-utils
  python3
  gcovr # line and branch coverage of the suite (scripts/coverage.sh)
  dpkg-dev desktop-file-utils appstream # the Debian package and its check (scripts/package-check.sh)
  librsvg2-bin # the larger icons, drawn from the SVG at build time
  clang libclang-rt-14-dev # the fuzz targets: clang with libFuzzer (scripts/fuzz.sh)
  clang-format # the format check (scripts/check-format.sh)
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  echo "setup: installing ${missing[*]}"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

[ "${PARVIX_SETUP_ONLY:-0}" = 1 ] && exit 0

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo}
cmake --build "$build" -j "$(nproc)"
