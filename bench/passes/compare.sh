#!/usr/bin/env bash
# Two builds of the pass benchmark side by side, in alternating rounds (old, new, old, new...),
# case by case. Per run: the Similar Filename pass's wall and CPU time (ms) and the process's peak
# memory after it (MiB), as bench_passes prints them. The load average is printed before each
# round; medians and ranges at the end.
#
#   bench/passes/compare.sh OLD_BENCH NEW_BENCH ROUNDS CASE...
#   e.g. bench/passes/compare.sh /tmp/old/bench_passes build/release/bench/passes/bench_passes 5 \
#            "1000000 realistic" "1000000 sparse --similar-only" "97336 hostile --similar-only"
set -euo pipefail

old=$1 new=$2 rounds=$3
shift 3
for tool in "$old" "$new"; do
    [[ -x $tool ]] || { echo "missing $tool" >&2; exit 1; }
done
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
range() { printf '%s\n' "$@" | sort -n | awk 'NR==1{a=$1} {b=$1} END {print a " to " b}'; }

declare -A wall=() cpu=() peak=()
for ((r = 1; r <= rounds; r++)); do
    echo "round $r: $(uptime)"
    for i in $(seq 1 $#); do
        for which in old new; do
            bin=$old
            [[ $which == new ]] && bin=$new
            # shellcheck disable=SC2086
            line=$("$bin" ${!i} | grep '^Similar Filename')
            echo "  $which ${!i}: $line"
            wall[$which-$i]+="$(sed -E 's/^Similar Filename: ([0-9.]+) ms.*/\1/' <<<"$line") "
            cpu[$which-$i]+="$(sed -E 's/.*\(cpu ([0-9.]+)\).*/\1/' <<<"$line") "
            peak[$which-$i]+="$(sed -E 's/.*peak ([0-9]+) MiB.*/\1/' <<<"$line") "
        done
    done
done
echo "== medians over $rounds rounds: Similar Filename wall and CPU ms, peak MiB; ranges in brackets"
for i in $(seq 1 $#); do
    for which in old new; do
        # shellcheck disable=SC2086
        echo "${!i} $which: wall $(median ${wall[$which-$i]}) [$(range ${wall[$which-$i]})]" \
            "cpu $(median ${cpu[$which-$i]}) [$(range ${cpu[$which-$i]})]" \
            "peak $(median ${peak[$which-$i]}) [$(range ${peak[$which-$i]})]"
    done
done
