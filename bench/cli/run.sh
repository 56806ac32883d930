#!/usr/bin/env bash
# End-to-end benchmark of tallyrook-cli: generates trees and times, side by side on the same warm
# tree, the whole search against find. Keep the machine otherwise idle while it runs.
#
#   bench/cli/run.sh [BUILD_DIR] [FILE_COUNTS...]
#   e.g. MIX=sparse bench/cli/run.sh build/release 100000 1000000
#
# MIX (default sparse) is the generator's mix: realistic, sparse, music or dense. ROUNDS (default 5)
# rounds, each running every command once in turn; the table gives the median and the fastest
# round, in ms, of the whole process, and the median processor time (user + system), which a
# machine busy with other work inflates far less than the wall clock. COMMANDS picks some of
# find-sizes, find-names-uniq, cli-all, cli-capped (the three criteria with the row cap), cli-name
# and cli-name-similar (--all --name --similar); OLD_CLI=PATH adds old-all, that binary's
# all-criteria run, to compare a change in the same rounds, and COMMANDS may name old-capped and
# old-name-similar, its other runs; with OLD_CLI both binaries' capped rows are compared byte for
# byte. The all-criteria run lists every row (--all). One more run of each tallyrook command reports its
# rows, output size, peak memory and, with TALLYROOK_TIMINGS=1, the time of each stage, and
# OLD_CLI's peak memory; REFERENCE=FILE compares both all-criteria outputs with FILE byte for
# byte. Trees are made under TMPDIR (default /tmp) and deleted afterwards, unless KEEP_TREES names
# a folder where they are kept and reused.
set -euo pipefail

build=${1:-build/release}
shift || true
counts=("$@")
[[ ${#counts[@]} -eq 0 ]] && counts=(100000 1000000)
mix=${MIX:-sparse}
rounds=${ROUNDS:-5}
gen=$build/bench/tree_generator/tallyrook-gen-tree
cli=$build/src/cli/tallyrook-cli
for tool in "$gen" "$cli"; do
    [[ -x $tool ]] || { echo "missing $tool: build the targets first" >&2; exit 1; }
done

now_ns() { date +%s%N; }
# median and minimum of the numbers given
stats() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {printf "%9.1f %9.1f", v[int((NR+1)/2)], v[1]}'; }
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {printf "%9.1f", v[int((NR+1)/2)]}'; }

for n in "${counts[@]}"; do
    work=$(mktemp -d "${TMPDIR:-/tmp}/tallyrook-bench-cli-XXXXXX")
    trap 'rm -rf "$work"' EXIT
    tree=$work/tree
    [[ -n ${KEEP_TREES:-} ]] && tree=$KEEP_TREES/$mix-$n
    echo "== $n files ($mix mix, seed 1)"
    if [[ ! -d $tree ]]; then
        start=$(now_ns)
        "$gen" --files "$n" --mix "$mix" --seed 1 "$tree"
        echo "generated in $(( ($(now_ns) - start) / 1000000 )) ms"
    fi
    for _ in 1 2; do find "$tree" -printf '%s\n' >/dev/null; done  # warm the cache

    read -r -a names <<<"${COMMANDS:-find-sizes find-names-uniq cli-all cli-name}"
    [[ -n ${OLD_CLI:-} ]] && names+=(old-all)
    declare -A times=() cpu=()
    echo "load before: $(uptime)"
    for ((r = 0; r < rounds; r++)); do
        for name in "${names[@]}"; do
            case $name in
            find-sizes) command="find \"\$0\" -type f -printf '%s %p\\n'" ;;
            find-names-uniq) command="find \"\$0\" -type f -printf '%f\\n' | sort | uniq -d" ;;
            cli-all) command="'$cli' --all --name --size --similar --tsv -q \"\$0\"" ;;
            cli-capped) command="'$cli' --name --size --similar --tsv -q \"\$0\"" ;;
            old-capped) command="'$OLD_CLI' --name --size --similar --tsv -q \"\$0\"" ;;
            cli-name) command="'$cli' --name --tsv \"\$0\"" ;;
            cli-name-similar) command="'$cli' --all --name --similar --tsv -q \"\$0\"" ;;
            old-name-similar) command="'$OLD_CLI' --all --name --similar --tsv -q \"\$0\"" ;;
            old-all) command="'$OLD_CLI' --all --name --size --similar --tsv -q \"\$0\"" ;;
            esac
            start=$(now_ns)
            /usr/bin/time -o "$work/cpu.txt" -f '%U %S' bash -c "$command >/dev/null 2>&1" "$tree" || true
            times[$name]+="$(awk -v a="$start" -v b="$(now_ns)" 'BEGIN {printf "%.1f", (b - a) / 1e6}') "
            cpu[$name]+="$(awk '{printf "%.1f", ($1 + $2) * 1000}' "$work/cpu.txt") "
        done
        echo "round $((r + 1)) done: $(uptime)"
    done
    printf '%-18s %9s %9s %9s\n' command median_ms best_ms cpu_ms
    for name in "${names[@]}"; do
        # shellcheck disable=SC2086
        printf '%-18s %s %s\n' "$name" "$(stats ${times[$name]})" "$(median ${cpu[$name]})"
    done

    for args in "--all --name --size --similar" "--name"; do
        echo "-- tallyrook-cli $args --tsv: rows, output size, peak memory, stages"
        # shellcheck disable=SC2086
        read -r rows bytes < <("$cli" $args --tsv "$tree" 2>/dev/null | wc -lc || true)
        echo "output $bytes bytes"
        # shellcheck disable=SC2086
        /usr/bin/time -o "$work/time.txt" -f '%M' "$cli" $args --tsv "$tree" >/dev/null 2>&1 || true
        peak_kb=$(tail -1 "$work/time.txt")
        echo "rows $rows, peak RSS $peak_kb KB = $(( peak_kb * 1024 / n )) bytes per file"
        # shellcheck disable=SC2086
        TALLYROOK_TIMINGS=1 "$cli" $args --tsv "$tree" 2>&1 >/dev/null | grep '^timing:' || true
    done
    if [[ -n ${OLD_CLI:-} ]]; then
        /usr/bin/time -o "$work/time.txt" -f '%M' "$OLD_CLI" --all --name --size --similar --tsv -q \
            "$tree" >/dev/null 2>&1 || true
        peak_kb=$(tail -1 "$work/time.txt")
        echo "-- old --all: peak RSS $peak_kb KB = $(( peak_kb * 1024 / n )) bytes per file"
    fi
    if [[ -n ${OLD_CLI:-} ]] && cmp <("$cli" --name --size --similar --tsv -q "$tree" 2>/dev/null) \
        <("$OLD_CLI" --name --size --similar --tsv -q "$tree" 2>/dev/null); then
        echo "capped rows: identical to $OLD_CLI's"
    fi
    if [[ -n ${REFERENCE:-} ]]; then
        for tool in "$cli" ${OLD_CLI:+"$OLD_CLI"}; do
            if "$tool" --all --name --size --similar --tsv -q "$tree" 2>/dev/null |
                cmp - "$REFERENCE"; then
                echo "$tool --all: output identical to $REFERENCE"
            fi
        done
    fi
    rm -rf "$work"
    trap - EXIT
done
