#!/usr/bin/env bash
# How long tallyrook-cli takes to end when told to while it waits on a share that does not
# answer: the contents check reading, or the walk listing, through tests/support/hung_view.py
# (each read, or listing of a "hung*" folder, answers after HANG_S seconds).
#
#   bench/cli/hung_share.sh [BUILD=build/release] [ROUNDS=5] [HANG_S=10]
#
# CLI=path runs another build's program; WHAT="contents" or "walk" only one of the two. Each line:
# what, how it was told (INT: one Ctrl-C, INT2: a second one, TERM, KILL), seconds to end.
# A command that does not end within 60 seconds is ended with the view, and says so.
set -euo pipefail
# Job control: a command started in the background takes Ctrl-C, as one started from a terminal.
set -m
build=${1:-build/release}
rounds=${2:-5}
hang=${3:-10}
cli=${CLI:-$build/src/cli/tallyrook-cli}
view=$(dirname "$0")/../../tests/support/hung_view.py
work=$(mktemp -d)
trap 'fusermount -u -z "$work/mnt" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/src/k1" "$work/src/k2" "$work/src/w/hung" "$work/mnt"
for k in k1 k2; do head -c 300000 /dev/zero >"$work/src/$k/same.bin"; done
for i in $(seq 50); do touch "$work/src/w/f$i" "$work/src/w/hung/f$i"; done

# One round: mounts the view, starts the command, waits until it hangs, tells it (SIGTERM,
# SIGKILL or INT twice) and prints the seconds until it has ended.
round() {
    local what=$1 how=$2 args
    [ "$what" = contents ] && args="--size --contents $work/mnt/k1 $work/mnt/k2" ||
        args="--name $work/mnt/w"
    coproc VIEW { exec "$view" "$work/src" "$work/mnt" "$hang"; }
    local viewpid=$VIEW_PID
    read -r _ <&"${VIEW[0]}"
    "$cli" -q $args >/dev/null 2>&1 &
    local pid=$!
    sleep 2
    local start
    start=$(date +%s.%N)
    case $how in
        INT | TERM | KILL) kill -s "$how" "$pid" ;;
        # The second from the first, unless the first was enough.
        INT2)
            kill -s INT "$pid"
            sleep 0.1
            if kill -0 "$pid" 2>/dev/null; then
                start=$(date +%s.%N)
                kill -s INT "$pid" || true
            fi
            ;;
    esac
    (sleep 60 && kill -9 "$viewpid") 2>/dev/null &
    local watchdog=$!
    wait "$pid" || true
    local took
    took=$(echo "$(date +%s.%N) - $start" | bc)
    kill "$watchdog" 2>/dev/null || true
    [ "$(echo "$took >= 58" | bc)" = 1 ] && took="$took (ended with the view)"
    echo "$what $how $took"
    kill -9 "$viewpid" 2>/dev/null || true
    wait "$viewpid" 2>/dev/null || true
    fusermount -u -z "$work/mnt"
}

for ((r = 1; r <= rounds; ++r)); do
    for what in ${WHAT:-contents walk}; do
        for how in INT INT2 TERM KILL; do
            round "$what" "$how"
        done
    done
done
