#!/usr/bin/env bash
# Fails when a user-visible text of the sources has no simplified or traditional
# Chinese translation in the catalogues (the catalogues themselves are not changed).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
lupdate=${LUPDATE:-$(command -v lupdate6 || echo /usr/lib/qt6/bin/lupdate)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here"/translations/Parvix_*.ts "$work/"
"$lupdate" -silent -no-obsolete -locations none "$here/src" -ts "$work"/Parvix_CN.ts "$work"/Parvix_TW.ts
missing=0
for ts in "$work"/Parvix_*.ts; do
  # An untranslated text shows as an unfinished or empty translation.
  if grep -B2 -E 'type="unfinished"|<translation></translation>' "$ts" | grep '<source>'; then
    echo "untranslated in $(basename "$ts")" >&2
    missing=1
  fi
done
exit $missing
