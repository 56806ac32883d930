#!/usr/bin/env bash
# Fails when a catalogue in resources/translations/ lacks a text of src/, keeps one the code no
# longer has, or has an entry not yet translated. The catalogues themselves are left alone: the
# check updates copies.
set -euo pipefail
cd "$(dirname "$0")/.."
lupdate=$(command -v lupdate || echo /usr/lib/qt6/bin/lupdate)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
for catalogue in resources/translations/*.ts; do
    copy=$scratch/$(basename "$catalogue")
    cp "$catalogue" "$copy"
    "$lupdate" -silent -locations none -extensions cpp,h src -ts "$copy"
    # New texts come in unfinished, removed ones stay behind as vanished or obsolete.
    if grep -n -E 'type="(unfinished|vanished|obsolete)"' "$copy" >"$scratch/open"; then
        echo "$catalogue: texts missing, untranslated or no longer used" \
            "(scripts/update-translations.sh, then translate):" >&2
        grep -A1 -B1 -E 'type="(unfinished|vanished|obsolete)"' "$copy" | head -60 >&2
        status=1
    fi
done
exit $status
