#!/usr/bin/env bash
# clang-tidy's agreed checks (.clang-tidy) over every source under src/, as the given build
# (default build/release, configured) compiles them. Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
[ -f "$build/compile_commands.json" ] || { echo "configure $build first" >&2; exit 2; }
# The generated sources (moc, rcc) are Qt's, not ours.
run-clang-tidy -quiet -p "$build" -j "$(nproc)" "$PWD/src/" >"$build/tidy.log" 2>&1 || {
    grep -E 'error:|warning:' "$build/tidy.log" | sed 's/\x1b\[[0-9;]*m//g' | sort -u >&2
    echo "clang-tidy found the above (full log: $build/tidy.log)" >&2
    exit 1
}
echo "clang-tidy: clean"
