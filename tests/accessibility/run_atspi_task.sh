#!/usr/bin/env bash
# Runs atspi_task.py against the desktop program PROGRAM on an X server, a session bus and an
# accessibility bus of its own, with HOME and the XDG folders in a temporary folder: no desktop,
# no user's settings or Trash.
set -euo pipefail
program=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tallyrook-atspi-XXXXXX")
xvfb=
cleanup() {
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/home/config XDG_DATA_HOME=$scratch/home/data \
    XDG_CACHE_HOME=$scratch/home/cache XDG_RUNTIME_DIR=$scratch/run LC_ALL=C.UTF-8
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS WAYLAND_DISPLAY QT_QPA_PLATFORM LANGUAGE LANG

# A display of its own, at a number nobody else is likely to take; another try if it is taken.
display=
for _ in $(seq 10); do
    candidate=$((200 + RANDOM % 700))
    [ -e "/tmp/.X$candidate-lock" ] && continue
    # -noreset: the accessibility bus's clients come and go, and a reset would drop the program.
    Xvfb ":$candidate" -screen 0 1600x1200x24 -nolisten tcp -noreset >"$scratch/xvfb.log" 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do
        [ -S "/tmp/.X11-unix/X$candidate" ] && kill -0 "$xvfb" 2>/dev/null && display=$candidate
        [ -n "$display" ] && break 2
        sleep 0.1
    done
    kill "$xvfb" 2>/dev/null || true
    xvfb=
done
[ -n "$display" ] || { cat "$scratch/xvfb.log" >&2; exit 1; }
export DISPLAY=:$display

status=0
dbus-run-session -- /usr/bin/python3 "$here/atspi_task.py" "$program" || status=$?
[ $status -eq 0 ] || cat "$scratch/xvfb.log" >&2
exit $status
