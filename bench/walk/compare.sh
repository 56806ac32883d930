#!/usr/bin/env bash
# Two builds of the walk benchmark side by side on one warm tree, in alternating rounds (old, new,
# old, new...), with and without sizes. Per run: the walk alone (the program's own median_ms),
# and the process's CPU time (user + sys, /usr/bin/time), steadier than the wall clock when the
# machine is shared. The load average is printed before each round.
#
#   bench/walk/compare.sh OLD_BENCH NEW_BENCH TREE [ROUNDS]
#   e.g. bench/walk/compare.sh /tmp/old/build/bench/walk/tallyrook-bench-walk \
#            build/release/bench/walk/tallyrook-bench-walk /tmp/tree 5
set -euo pipefail

old=$1 new=$2 tree=$3 rounds=${4:-5}
for tool in "$old" "$new"; do
    [[ -x $tool ]] || { echo "missing $tool" >&2; exit 1; }
done
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$2"; }
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
range() { printf '%s\n' "$@" | sort -n | awk 'NR==1{a=$1} {b=$1} END {print a " to " b}'; }

for _ in 1 2; do find "$tree" -printf '%s\n' >/dev/null; done  # warm the cache
declare -A walk=() cpu=() gap=() peak=()
for ((r = 1; r <= rounds; r++)); do
    echo "round $r: $(uptime)"
    for sizes in sizes plain; do
        for which in old new; do
            bin=$old
            [[ $which == new ]] && bin=$new
            args=(--runs 1)
            [[ $sizes == sizes ]] && args+=(--sizes)
            out=$(/usr/bin/time -f 'cpu %U %S' "$bin" "${args[@]}" "$tree" 2>&1)
            line=$(grep '^engine=' <<<"$out")
            read -r _ user sys < <(grep '^cpu ' <<<"$out")
            ms=$(field median_ms " $line")
            c=$(awk -v u="$user" -v s="$sys" 'BEGIN {printf "%.0f", (u + s) * 1000}')
            echo "  $which $sizes walk_ms=$ms cpu_ms=$c $line"
            walk[$which-$sizes]+="$ms "
            cpu[$which-$sizes]+="$c "
            gap[$which-$sizes]+="$(field longest_events_gap_ms " $line") "
            peak[$which-$sizes]+="$(field peak_rss_kb " $line") "
        done
    done
done
echo "== medians over $rounds rounds (ms); range of the walk in brackets"
for key in old-sizes new-sizes old-plain new-plain; do
    # shellcheck disable=SC2086
    echo "$key walk=$(median ${walk[$key]}) [$(range ${walk[$key]})]" \
        "process_cpu=$(median ${cpu[$key]}) [$(range ${cpu[$key]})]" \
        "gap=$(median ${gap[$key]:-0}) peak_rss_kb=$(median ${peak[$key]})"
done
