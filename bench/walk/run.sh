#!/usr/bin/env bash
# Walk benchmark: generates trees and times, side by side on the same warm tree, Tallyrook's walk,
# the minimal walker and two find commands. Keep the machine otherwise idle while it runs.
#
#   bench/walk/run.sh [BUILD_DIR] [FILE_COUNTS...]
#   e.g. bench/walk/run.sh build/release 100000 1000000
#
# ROUNDS (default 7) rounds, each running every command once in turn; the table gives the median
# and the fastest round. "walk" is the time inside the program for the walk alone; "process" is
# the whole process (start-up and teardown included), comparable to find. Trees are made under
# TMPDIR (default /tmp) and deleted afterwards.
set -euo pipefail

build=${1:-build/release}
shift || true
counts=("$@")
[[ ${#counts[@]} -eq 0 ]] && counts=(100000 1000000)
rounds=${ROUNDS:-7}
gen=$build/bench/tree_generator/tallyrook-gen-tree
bench=$build/bench/walk/tallyrook-bench-walk
for tool in "$gen" "$bench"; do
    [[ -x $tool ]] || { echo "missing $tool: build the targets first" >&2; exit 1; }
done

now_ns() { date +%s%N; }

# median and minimum of the numbers given, in ms
stats() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {printf "%8.1f %8.1f", v[int((NR+1)/2)], v[1]}'; }

field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$2"; }

for n in "${counts[@]}"; do
    work=$(mktemp -d "${TMPDIR:-/tmp}/tallyrook-bench-XXXXXX")
    trap 'rm -rf "$work"' EXIT
    tree=$work/tree
    echo "== $n files (realistic mix, seed 1)"
    start=$(now_ns)
    "$gen" --files "$n" --mix realistic --seed 1 "$tree"
    echo "generated in $(( ($(now_ns) - start) / 1000000 )) ms"
    # Warm the cache.
    for _ in 1 2; do find "$tree" -printf '%s\n' >/dev/null; done

    declare -A proc=() walk=() last=()
    names=(find-sizes find-plain tallyrook-sizes tallyrook-plain minimal-sizes minimal-plain)
    for ((r = 0; r < rounds; r++)); do
        for name in "${names[@]}"; do
            case $name in
            find-sizes) cmd=(find "$tree" -type f -printf '%s %p\n') ;;
            find-plain) cmd=(find "$tree" -type f -printf '') ;;
            tallyrook-sizes) cmd=("$bench" --runs 1 --sizes "$tree") ;;
            tallyrook-plain) cmd=("$bench" --runs 1 "$tree") ;;
            minimal-sizes) cmd=("$bench" --runs 1 --engine minimal --sizes "$tree") ;;
            minimal-plain) cmd=("$bench" --runs 1 --engine minimal "$tree") ;;
            esac
            start=$(now_ns)
            out=$("${cmd[@]}")
            ms=$(awk -v a="$start" -v b="$(now_ns)" 'BEGIN {printf "%.1f", (b - a) / 1e6}')
            proc[$name]+="$ms "
            if [[ $name != find-* ]]; then
                walk[$name]+="$(field median_ms "$out") "
                [[ $name == tallyrook-* ]] && last[$name]=$out
            fi
        done
    done

    printf '%-18s %17s %17s\n' "" "process ms" "walk ms"
    printf '%-18s %8s %8s %8s %8s\n' command median min median min
    for name in "${names[@]}"; do
        # shellcheck disable=SC2086
        line=$(printf '%-18s %s' "$name" "$(stats ${proc[$name]})")
        if [[ -n ${walk[$name]:-} ]]; then
            # shellcheck disable=SC2086
            line+=" $(stats ${walk[$name]})"
        fi
        echo "$line"
    done
    for name in tallyrook-sizes tallyrook-plain; do
        out=${last[$name]}
        echo "$name: files=$(field files "$out") base_rss_kb=$(field base_rss_kb "$out")" \
            "peak_rss_kb=$(field peak_rss_kb "$out")" \
            "bytes_per_file_above_base=$(field bytes_per_file "$out")" \
            "peak_bytes_per_file=$(field peak_bytes_per_file "$out")"
    done
    echo "find counts $(find "$tree" -type f | wc -l) files," \
        "$(find "$tree" -type d | wc -l) folders"
    rm -rf "$work"
    trap - EXIT
    unset proc walk last
done
