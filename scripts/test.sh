#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in an
# optimised build, once under AddressSanitizer and UndefinedBehaviorSanitizer; then the walk and
# run tests once more against the portable walk (Qt's file classes instead of the POSIX calls).
# Every build treats compiler warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

for preset in release sanitize portable; do
    echo "== $preset build"
    cmake --preset "$preset" -DTALLYROOK_WERROR=ON >/dev/null
    cmake --build --preset "$preset"
    echo "== $preset tests"
    ctest --preset "$preset"
done
