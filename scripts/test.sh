#!/usr/bin/env bash
# Installs what is missing, checks the formatting and the tests' share of the code, builds, and
# runs every test: once in an optimised build, once under AddressSanitizer and
# UndefinedBehaviorSanitizer; the walk, run, row look-up, contents and CLI tests under
# ThreadSanitizer, for the threads that read ahead, look up, compare and pump events; then the
# walk, run and row look-up tests once more against the portable platform code (Qt's file classes
# instead of the POSIX calls); then everything that builds without the desktop program, on QtCore
# alone. Every build treats compiler warnings as errors, and clang-tidy's agreed checks
# (.clang-tidy) must find nothing in src/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

# First, since it takes a second: every source as the repository's .clang-format writes it.
echo "== formatting"
find src tests bench \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run -Werror

# Tests catch faults; beyond a third or so of the code they mostly restate it.
echo "== tests' share"
lines() { find "$@" -print0 | xargs -0 cat | grep -cv '^\s*$'; }
code=$(lines src \( -name '*.cpp' -o -name '*.h' \))
tests=$(lines tests \( -name '*.cpp' -o -name '*.h' -o -name '*.sh' \))
echo "tests $tests lines, code $code lines: $((100 * tests / code))%"
if [ $((100 * tests)) -gt $((37 * code)) ]; then
    echo "the tests are more than 37% of the code (see CONTRIBUTING.md)" >&2
    exit 1
fi

# Every text a person reads is in each catalogue, translated; none that the code no longer has.
echo "== translations"
scripts/check-translations.sh

for preset in release sanitize tsan portable headless; do
    echo "== $preset build"
    cmake --preset "$preset" -DTALLYROOK_WERROR=ON >/dev/null
    cmake --build --preset "$preset"
    if [ "$preset" = release ]; then
        echo "== clang-tidy"
        scripts/tidy.sh build/release
    fi
    echo "== $preset tests"
    ctest --preset "$preset"
done
