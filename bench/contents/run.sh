#!/usr/bin/env bash
# The contents benchmark: our contents check against jdupes, rmlint and fdupes on one generated
# tree of real bytes (tallyrook-gen-contents, about 2 GB), warm and cold. Run it as root (cold
# rounds drop the page cache) on an otherwise quiet machine, under the exclusive bench lock:
#
#   flock -x /tmp/tallyrook-bench.lock bench/contents/run.sh [BUILD_DIR]
#
# ROUNDS (default 5) rounds of each; in a warm round every command runs once in turn on a cached
# tree, in a cold round each runs after `sync; echo 3 > /proc/sys/vm/drop_caches`. COLD=0 leaves
# the cold rounds out. SCALE and SEED (default 1 and 1) go to the generator; the tree is made
# under TMPDIR and deleted afterwards, unless KEEP_TREE names a folder where it is kept and
# reused. Every command is run through tallyrook-measure (times, peak resident memory, peak
# anonymous memory, bytes read); the table gives medians.
#
# Before the rounds: the identical sets of every command are compared with those of a plain
# reference that reads every candidate whole (as device:inode sets, so that hard links and
# empty files, which the tools treat each their own way, count alike), and the bytes our check
# read with the bytes that must be read.
set -euo pipefail

build=${1:-build/release}
rounds=${ROUNDS:-5}
bench=$build/bench/contents
cli=$build/src/cli/tallyrook-cli
# shellcheck source=bench/contents/measure.sh
source "$(dirname "$0")/measure.sh"
check_built
# Every same-size file and its copy set: TSV with a header that has path and copy.
ours=("$cli" --size --all --contents --tsv --header)

# The tools compared, from Debian.
missing=()
for p in jdupes rmlint fdupes; do
    command -v "$p" >/dev/null || missing+=("$p")
done
if [[ ${#missing[@]} -gt 0 ]]; then
    sudo=()
    [[ $(id -u) -eq 0 ]] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tallyrook-bench-contents-XXXXXX")
trap 'rm -rf "$work"' EXIT
tree=${KEEP_TREE:-$work/tree}
if [[ ! -d $tree ]]; then
    "$bench/tallyrook-gen-contents" --scale "${SCALE:-1}" --seed "${SEED:-1}" "$tree"
fi
echo "tree: $tree, $(find "$tree" -type f | wc -l) files, $(du -sb "$tree" | cut -f1) bytes"
echo "tools: $(jdupes -v | head -1); $(fdupes --version); $(rmlint --version 2>&1 | head -1)"

names=(tallyrook jdupes fdupes rmlint)
command_of() {  # NAME: sets `cmd`, which lists the identical sets on stdout
    case $1 in
    tallyrook) cmd=("${ours[@]}" "$tree") ;;
    jdupes) cmd=(jdupes -r -q "$tree") ;;
    fdupes) cmd=(fdupes -r -q "$tree") ;;
    rmlint) cmd=(rmlint -T df -o fdupes:stdout "$tree") ;;
    esac
}

# shellcheck source=bench/contents/tsv_sets.sh
source "$(dirname "$0")/tsv_sets.sh"

echo "== reference"
"$bench/tallyrook-bench-contents" --reference "$tree" >"$work/reference.sets" 2>"$work/reference.txt"
cat "$work/reference.txt"
must=$(awk '$1 == "must_read_bytes" {print $2}' "$work/reference.txt")
echo "reference: $(wc -l <"$work/reference.sets") identical sets of two files or more"

echo "== identical sets"
for name in "${names[@]}"; do
    command_of "$name"
    if [[ $name == tallyrook ]]; then
        TALLYROOK_TIMINGS=1 "${cmd[@]}" 2>"$work/ours.txt" | tsv_sets >"$work/$name.listing"
        cat "$work/ours.txt"
    else
        "${cmd[@]}" >"$work/$name.listing" 2>/dev/null
    fi
    "$bench/tallyrook-bench-contents" --sets <"$work/$name.listing" >"$work/$name.sets"
    if cmp -s "$work/$name.sets" "$work/reference.sets"; then
        echo "$name: the same identical sets as the reference ($(wc -l <"$work/$name.sets"))"
    else
        echo "$name: DIFFERENT identical sets ($(wc -l <"$work/$name.sets") against" \
            "$(wc -l <"$work/reference.sets")):"
        diff "$work/reference.sets" "$work/$name.sets" | head -20 || true
    fi
done
if cmp -s "$work/tallyrook.sets" "$work/jdupes.sets"; then
    echo "tallyrook and jdupes -r: the same identical sets"
fi

declare -A values=()

echo "== rounds"
echo "load before: $(uptime)"
for name in "${names[@]}"; do
    command_of "$name"
    "${cmd[@]}" >/dev/null 2>&1
done
for ((r = 1; r <= rounds; r++)); do
    for name in "${names[@]}"; do measure warm "$name"; done
    echo "warm round $r done: $(uptime)"
done
if [[ ${COLD:-1} != 0 ]]; then
    for ((r = 1; r <= rounds; r++)); do
        for name in "${names[@]}"; do
            drop_caches
            measure cold "$name"
        done
        echo "cold round $r done: $(uptime)"
    done
fi
echo "load after: $(uptime)"

echo "== medians of $rounds rounds (ms, KB, bytes)"
print_medians "${names[@]}"
# shellcheck disable=SC2086
read_ours=$(median ${values[warm tallyrook rchar]})
awk -v r="$read_ours" -v m="$must" 'BEGIN {
    printf "bytes read by tallyrook: %d, must be read: %d, ratio %.3f\n", r, m, r / m }'
