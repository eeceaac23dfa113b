#!/usr/bin/env bash
# Fails when a C++ file of the sources, tests, tools or benchmarks differs from what
# clang-format makes of it with the project's .clang-format (the files are not changed).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
format=${CLANG_FORMAT:-clang-format}
cd "$here"
git ls-files -z --cached --others --exclude-standard -- \
    'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'tools/*.cpp' 'tools/*.h' \
    'bench/*.cpp' 'bench/*.h' |
  xargs -0 -r "$format" --dry-run --Werror
