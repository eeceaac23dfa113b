#!/usr/bin/env bash
# Builds with gcc --coverage in build-coverage/ (or $PARVIX_COVERAGE_BUILD_DIR), runs the
# whole suite under Xvfb and prints line and branch coverage per subsystem folder of src/
# and of tools/, writes an HTML report to build-coverage/coverage/index.html and lists the
# QML files that no test loads. Extra arguments go to ctest (e.g. -R session).
# PARVIX_COVERAGE_SKIP_TESTS=1 only rebuilds the report from the counters already there.
# PARVIX_COVERAGE_TARGETS="test_app phonesim" builds only these (for a run limited with -R).
# PARVIX_COVERAGE_MERGE="a.json b.json" reports on the sum of earlier runs' coverage.json
# (e.g. the suite run in parts with -R and -E); nothing is built or run then.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
PARVIX_SETUP_ONLY=1 "$here/scripts/setup.sh"
build=${PARVIX_COVERAGE_BUILD_DIR:-$here/build-coverage}
report=$build/coverage

merge=${PARVIX_COVERAGE_MERGE:-}
if [ -z "$merge" ] && [ "${PARVIX_COVERAGE_SKIP_TESTS:-0}" != 1 ]; then
  # -O0 keeps every source line its own counter; the product is the same otherwise.
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="--coverage -O0" -DCMAKE_EXE_LINKER_FLAGS=--coverage \
    -DCMAKE_SHARED_LINKER_FLAGS=--coverage
  targets=()
  for t in ${PARVIX_COVERAGE_TARGETS:-}; do targets+=(--target "$t"); done
  cmake --build "$build" -j "$(nproc)" "${targets[@]}"
  find "$build" -name '*.gcda' -delete
  # Every QQmlEngine of the tests traces the imports of each QML file it loads (see below).
  export QML_IMPORT_TRACE=1
  export LIBGL_ALWAYS_SOFTWARE=1
  start=$(date +%s)
  (cd "$build" && xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure \
     --test-output-size-passed 200000000 --test-output-size-failed 200000000 \
     "$@" >"$build/ctest.out" 2>&1; tail -n 40 "$build/ctest.out") || echo "coverage: some tests failed (counted anyway)"
  echo "coverage: suite took $(( $(date +%s) - start )) s"
fi

mkdir -p "$report"
if [ -n "$merge" ]; then
  inputs=()
  for f in $merge; do inputs+=(--add-tracefile "$f"); done
  gcovr --root "$here" "${inputs[@]}" --json "$report/coverage.json" \
    --html-details "$report/index.html" >/dev/null
else
  # One pass over the counters; the summaries below filter its JSON.
  gcovr --root "$here" --object-directory "$build" \
    --filter "$here/src/" --filter "$here/tools/" \
    --exclude '.*/build[^/]*/.*' --exclude-unreachable-branches --exclude-throw-branches \
    --json "$report/coverage.json" --html-details "$report/index.html" -j "$(nproc)" \
    --gcov-ignore-parse-errors >/dev/null
fi

python3 - "$report/coverage.json" <<'EOF'
import json, sys, collections
data = json.load(open(sys.argv[1]))
per = collections.OrderedDict()
def add(key, lines, branches):
    t = per.setdefault(key, [0, 0, 0, 0])
    t[0] += sum(1 for l in lines if l["count"] > 0)
    t[1] += len(lines)
    t[2] += sum(1 for b in branches if b["count"] > 0)
    t[3] += len(branches)
for f in data["files"]:
    parts = f["file"].split("/")
    if parts[0] not in ("src", "tools"):
        continue
    folder = "/".join(parts[:2]) if len(parts) > 2 else parts[0]
    lines = [l for l in f["lines"] if not l.get("gcovr/noncode")]
    branches = [b for l in lines for b in l.get("branches", [])]
    add(folder, lines, branches)
    add(parts[0] + " (total)", lines, branches)
pct = lambda a, b: 100.0 * a / b if b else 100.0
print(f"{'folder':<22}{'lines':>16}{'line %':>8}{'branches':>18}{'branch %':>10}")
for key in sorted(per, key=lambda k: (k.split('/')[0].split(' ')[0], '(total)' in k, k)):
    l, lt, b, bt = per[key]
    print(f"{key:<22}{l:>7}/{lt:<8}{pct(l, lt):>7.1f}%{b:>8}/{bt:<9}{pct(b, bt):>9.1f}%")
EOF
echo "coverage: HTML report in $report/index.html"

# QML files no test loads. With QML_IMPORT_TRACE the engine logs the implicit import of
# every QML file it compiles ("addImplicitImport: <url>"), before creating anything from it;
# ctest keeps each test's output in LastTest.log. A file never named so was not loaded by any
# test; a file named was compiled, which is not proof that each of its parts was shown.
trace=$build/Testing/Temporary/LastTest.log
if [ -z "$merge" ] && [ -f "$trace" ]; then
  echo "QML files that no test loads:"
  none=1
  for f in $(cd "$here" && git ls-files 'src/qml/*.qml'); do
    name=${f#src/qml/}
    if ! grep -qE "addImplicitImport: [^ ]*/src/qml/$name\b" "$trace"; then echo "  $f"; none=0; fi
  done
  [ $none = 1 ] && echo "  (none)"
fi
