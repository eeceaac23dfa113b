#!/usr/bin/env bash
# macOS only: builds (scripts/setup.sh), makes build/parvix.app self-contained with
# macdeployqt (Qt frameworks, plugins and the QML modules src/qml imports), signs it ad hoc
# (arm64 code must carry a signature, and macdeployqt changes the binaries) and makes
# build/Parvix-<version>-<arch>.dmg. The adb is already in the bundle (CMake copies it from
# Homebrew's platform tools); PARVIX_SCRCPY_SERVER_FILE at configure time adds the server file.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
[ "$(uname)" = Darwin ] || { echo "package-macos: runs on macOS only" >&2; exit 1; }
"$here/scripts/setup.sh"
build=${PARVIX_BUILD_DIR:-$here/build}
app=$build/parvix.app
[ -x "$app/Contents/MacOS/parvix" ] || { echo "package-macos: $app was not built" >&2; exit 1; }
[ -x "$app/Contents/MacOS/third_party/adb/mac/adb" ] ||
  echo "package-macos: warning: no adb in the bundle (brew install --cask android-platform-tools)" >&2

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
rm -f "$build/parvix.dmg"
"$(brew --prefix qt)/bin/macdeployqt" "$app" -qmldir="$here/src/qml" -always-overwrite \
  -codesign=- -dmg
dmg=$build/Parvix-$version-$(uname -m).dmg
mv "$build/parvix.dmg" "$dmg"
echo "package-macos: $dmg"
