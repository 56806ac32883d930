#!/usr/bin/env bash
# Searching saved inventories against walking the same files: INVENTORIES trees of FILES files
# each (sparse mix, seeds 1, 2, ...) side by side under one folder, each saved as an inventory of
# a drive that is not plugged in (its volume given an id of its own, so that none is taken for
# another or looked at here). Then, in turn on the warm trees, `--name --size --all` over the
# walk of the folder and over the inventories alone. Keep the machine otherwise idle.
#
#   bench/inventory/run.sh [BUILD_DIR]
#   e.g. INVENTORIES=10 FILES=100000 ROUNDS=5 bench/inventory/run.sh build/release
#
# The table gives the median and fastest wall time of the whole process and the median processor
# time (user + system), in ms; then each command's rows, peak memory and bytes per file. Trees
# and inventories are made under TMPDIR (default /tmp) and deleted afterwards, unless KEEP_TREES
# names a folder where they are kept and reused.
set -euo pipefail

build=${1:-build/release}
inventories=${INVENTORIES:-10}
files=${FILES:-100000}
rounds=${ROUNDS:-5}
gen=$build/bench/tree_generator/tallyrook-gen-tree
cli=$build/src/cli/tallyrook-cli
for tool in "$gen" "$cli" sqlite3; do
    command -v "$tool" >/dev/null || { echo "missing $tool: build or install it first" >&2; exit 1; }
done

now_ns() { date +%s%N; }
stats() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {printf "%9.1f %9.1f", v[int((NR+1)/2)], v[1]}'; }
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {printf "%9.1f", v[int((NR+1)/2)]}'; }

work=${KEEP_TREES:-$(mktemp -d "${TMPDIR:-/tmp}/tallyrook-bench-inventory-XXXXXX")}
[[ -z ${KEEP_TREES:-} ]] && trap 'rm -rf "$work"' EXIT
mkdir -p "$work/trees"
total=$((inventories * files))
echo "== $inventories inventories of $files files each, $total files (sparse mix)"
args=()
for ((k = 1; k <= inventories; k++)); do
    tree=$work/trees/t$k
    inventory=$work/i$k.tallyrook
    if [[ ! -d $tree ]]; then
        "$gen" --files "$files" --mix sparse --seed "$k" "$tree" >/dev/null
    fi
    if [[ ! -f $inventory ]]; then
        "$cli" -q --save-inventory "$inventory" "$tree"
        sqlite3 "$inventory" "UPDATE volumes SET uuid = 'uuid:bench-$k', label = 'drive $k';
                              UPDATE walk SET machine = 'machine $k';"
    fi
    args+=(--inventory "$inventory")
done
for _ in 1 2; do find "$work/trees" -printf '%s\n' >/dev/null; done  # warm the cache

declare -A command=(
    [walk]="'$cli' --name --size --all --tsv -q '$work/trees'"
    [inventories]="'$cli' --name --size --all --tsv -q ${args[*]}"
)
names=(walk inventories)
declare -A times=() cpu=()
echo "load before: $(cat /proc/loadavg)"
for ((r = 0; r < rounds; r++)); do
    for name in "${names[@]}"; do
        start=$(now_ns)
        /usr/bin/time -o "$work/cpu.txt" -f '%U %S' bash -c "${command[$name]} >/dev/null 2>&1" || true
        times[$name]+="$(awk -v a="$start" -v b="$(now_ns)" 'BEGIN {printf "%.1f", (b - a) / 1e6}') "
        cpu[$name]+="$(awk '{printf "%.1f", ($1 + $2) * 1000}' "$work/cpu.txt") "
    done
    echo "round $((r + 1)) done: $(cat /proc/loadavg)"
done
printf '%-12s %9s %9s %9s\n' command median_ms best_ms cpu_ms
for name in "${names[@]}"; do
    # shellcheck disable=SC2086
    printf '%-12s %s %s\n' "$name" "$(stats ${times[$name]})" "$(median ${cpu[$name]})"
done
for name in "${names[@]}"; do
    rows=$(bash -c "${command[$name]}" 2>/dev/null | wc -l || true)
    /usr/bin/time -o "$work/time.txt" -f '%M' bash -c "exec ${command[$name]} >/dev/null 2>&1" || true
    peak_kb=$(tail -1 "$work/time.txt")
    echo "$name: rows $rows, peak RSS $peak_kb KB = $((peak_kb * 1024 / total)) bytes per file"
    TALLYROOK_TIMINGS=1 bash -c "${command[$name]}" 2>&1 >/dev/null | grep '^timing:' || true
done
