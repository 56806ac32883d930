#!/usr/bin/env bash
# Brings every catalogue in resources/translations/ up to date with the texts of src/: new texts
# are added unfinished (for a translator to fill in, with Qt Linguist or by hand), texts no
# longer in the code are dropped. Run it after adding or changing a text a person reads.
set -euo pipefail
cd "$(dirname "$0")/.."
lupdate=$(command -v lupdate || echo /usr/lib/qt6/bin/lupdate)
"$lupdate" -silent -locations none -no-obsolete -extensions cpp,h src -ts resources/translations/*.ts
