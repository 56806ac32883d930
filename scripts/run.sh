#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tallyrook. Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
# Only the desktop program (and the hand pointer next to it): starting it needs no tests.
cmake --build --preset release --target tallyrook

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cmake --build --preset release --target tallyrook-cli >/dev/null 2>&1 || true
    echo "There is no display to show Tallyrook's window on (DISPLAY and WAYLAND_DISPLAY are unset)." >&2
    echo "Start it from a desktop session, or use the command-line program instead:" >&2
    echo "    build/release/src/cli/tallyrook-cli --help" >&2
    exit 1
fi
exec build/release/src/app/tallyrook "$@"
