#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds, and runs every test: once in an
# optimised build, once under AddressSanitizer and UndefinedBehaviorSanitizer; then the walk and
# run tests once more against the portable walk (Qt's file classes instead of the POSIX calls).
# Every build treats compiler warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

# First, since it takes a second: every source as the repository's .clang-format writes it.
echo "== formatting"
find src tests bench \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run -Werror

for preset in release sanitize portable; do
    echo "== $preset build"
    cmake --preset "$preset" -DTALLYROOK_WERROR=ON >/dev/null
    cmake --build --preset "$preset"
    echo "== $preset tests"
    ctest --preset "$preset"
done
