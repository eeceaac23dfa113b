#!/usr/bin/env bash
# Sets up (packages, configure, build) and runs every test; GUI tests run under Xvfb.
#
# PARVIX_SANITIZE=1 instead builds the subsystems that read untrusted input (adb output,
# the phone's streams and messages, the data files) with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-sanitize/ (or $PARVIX_SANITIZE_BUILD_DIR) and runs
# their tests and the fuzz corpus replays there. Extra arguments go to ctest.
# PARVIX_SANITIZE=thread builds with ThreadSanitizer in build-tsan/ (or
# $PARVIX_SANITIZE_BUILD_DIR) and runs the tests of the subsystems that work on several
# threads (session, media, control, groups).
# It prints the time the build took and the time the tests took, separately.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build_start=$SECONDS

built() { echo "test.sh: build took $((SECONDS - build_start)) s"; }
# Runs the tests and prints their time; the exit code is ctest's.
run_tests() {
  local start=$SECONDS status=0
  xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure "$@" || status=$?
  echo "test.sh: tests took $((SECONDS - start)) s"
  return $status
}

if [ "${PARVIX_SANITIZE:-0}" = 1 ] || [ "${PARVIX_SANITIZE:-0}" = thread ]; then
  PARVIX_SETUP_ONLY=1 "$here/scripts/setup.sh"
  # The tests drive the virtual phone of the ordinary build; it is not part of the check.
  normal=${PARVIX_BUILD_DIR:-$here/build}
  [ -f "$normal/build.ninja" ] ||
    cmake -S "$here" -B "$normal" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo}
  cmake --build "$normal" -j "$(nproc)" --target phonesim
  export PHONESIM=$normal/tools/phonesim/phonesim
  source "$here/scripts/sanitizer-env.sh"
  if [ "$PARVIX_SANITIZE" = thread ]; then
    build=${PARVIX_SANITIZE_BUILD_DIR:-$here/build-tsan}
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DPARVIX_SANITIZE=thread -DPARVIX_PHONESIM="$PHONESIM"
    cmake --build "$build" -j "$(nproc)" --target \
      test_session test_media test_control test_groups
    tests=$PARVIX_TSAN_TESTS excluded=$PARVIX_TSAN_EXCLUDED
  else
    build=${PARVIX_SANITIZE_BUILD_DIR:-$here/build-sanitize}
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARVIX_SANITIZE=ON \
      -DPARVIX_PHONESIM="$PHONESIM"
    # Only what the subset runs; every test executable links the whole product anyway.
    cmake --build "$build" -j "$(nproc)" --target \
      test_adb test_app test_session test_media test_control test_groups fuzz_targets
    tests=$PARVIX_SANITIZE_TESTS excluded=$PARVIX_SANITIZE_EXCLUDED
  fi
  built
  cd "$build"
  export LIBGL_ALWAYS_SOFTWARE=1
  run_tests -R "$tests" -E "$excluded" "$@"
  exit
fi

"$here/scripts/setup.sh"
built
build=${PARVIX_BUILD_DIR:-$here/build}
cd "$build"
# Mesa's software OpenGL under a private X server.
export LIBGL_ALWAYS_SOFTWARE=1
run_tests "$@"
