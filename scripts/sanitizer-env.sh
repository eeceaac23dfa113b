# Sourced by scripts/test.sh and scripts/fuzz.sh: how sanitizer builds run.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
supp=$here/tests/sanitizer

# Stop at the first report with a stack; a lambda or buffer used after its frame returned
# is found too (detect_stack_use_after_return).
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:detect_leaks=1:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1:suppressions=$supp/ubsan.supp}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$supp/lsan.supp:print_suppressions=0}
# ThreadSanitizer: every report fails the test; races inside the uninstrumented libraries
# (Qt, Mesa, FFmpeg, PulseAudio) are theirs, tsan.supp names them by library.
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:exitcode=66:second_deadlock_stack=1:die_after_fork=0:ignore_noninstrumented_modules=1:suppressions=$supp/tsan.supp}

# The tests of the subsystems that read untrusted input, and the corpus replays.
export PARVIX_SANITIZE_TESTS='^(adb|app|session|media|control|groups|fuzz)\.'
# Left out (each with its reason in tests/sanitizer/README.md): the test that runs the
# whole GUI application, whose exit LeakSanitizer fails on libdbus and OpenGL driver blocks.
export PARVIX_SANITIZE_EXCLUDED='^app\.ApplicationTest$'

# The ThreadSanitizer run: the subsystems whose work runs on several threads.
export PARVIX_TSAN_TESTS='^(session|media|control|groups)\.'
export PARVIX_TSAN_EXCLUDED='^$'
