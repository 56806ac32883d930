#!/usr/bin/env bash
# Exact Contents against the content tools, whole runs: `tallyrook-cli --contents --all TREE` (every
# row: the list stops at 32,767 rows without --all, though the check reads the same) against
# `jdupes -r`, `rmlint`, `fdupes -r` and `rdfind` on one tree, warm and cold. Run it as root (cold
# rounds drop the page cache), under the exclusive bench lock:
#
#   flock -x /tmp/tallyrook-bench.lock bench/contents/tools.sh BUILD_DIR TREE_KIND
#
# TREE_KIND: `large` (tallyrook-gen-contents --scale SCALE, default 2.5: about 5.3 GB) or
# `small` (tallyrook-gen-contents --small FILES, default 1000000: about 10 KB a file). The tree is
# made under TMPDIR and deleted afterwards, unless KEEP_TREE names a folder where it is kept and
# reused. WARM (default 3) and COLD (default 2) rounds; a warm round runs every tool once in turn
# on a cached tree, a cold one runs each after `sync; echo 3 > /proc/sys/vm/drop_caches`. TOOLS
# (default "tallyrook jdupes rmlint fdupes rdfind") picks the tools; COLD_TOOLS (default TOOLS)
# those of the cold rounds. Every run goes through tallyrook-measure (wall, user and sys times,
# peak resident memory as /usr/bin/time -v gives it, peak anonymous memory, the bytes its reads
# returned and those fetched from the disk), with the load average before it.
#
# Before the rounds every tool's identical sets are compared with those of `jdupes -r` (CHECK=0
# leaves that out and reads the tree once to warm the cache). A hard link is one file: jdupes
# without -H never pairs two links of one file and names one of them, where our listing gives
# every path of a file with a copy, so the sets are compared as the files' device:inode
# (tallyrook-bench-contents --sets), and the paths each lists are counted. "Must be read": every
# byte of every file (counted once per device:inode) whose size is shared by another non-empty
# file; REFERENCE=1 adds the reference's tighter figure (bytes up to the 4 KiB page where files
# part, read from the start), which reads every candidate whole.
set -euo pipefail

build=${1:-build/release}
kind=${2:-large}
bench=$build/bench/contents
cli=$build/src/cli/tallyrook-cli
# shellcheck source=bench/contents/measure.sh
source "$(dirname "$0")/measure.sh"
check_built
read -r -a tools <<<"${TOOLS:-tallyrook jdupes rmlint fdupes rdfind}"
read -r -a cold_tools <<<"${COLD_TOOLS:-${tools[*]}}"

missing=()
for p in jdupes rmlint fdupes rdfind; do
    command -v "$p" >/dev/null || missing+=("$p")
done
if [[ ${#missing[@]} -gt 0 ]]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tallyrook-bench-tools-XXXXXX")
trap 'rm -rf "$work"' EXIT
tree=${KEEP_TREE:-$work/tree}
if [[ ! -d $tree ]]; then
    start=$(date +%s)
    case $kind in
    large) "$bench/tallyrook-gen-contents" --scale "${SCALE:-2.5}" --seed 1 "$tree" ;;
    small) "$bench/tallyrook-gen-contents" --small "${FILES:-1000000}" --seed 1 "$tree" ;;
    *) echo "TREE_KIND is large or small" >&2; exit 1 ;;
    esac
    echo "generated in $(($(date +%s) - start)) s"
fi
echo "tree: $tree, $(find "$tree" -type f | wc -l) files, $(du -sb "$tree" | cut -f1) bytes"
echo "tools: $(jdupes -v | head -1); $(fdupes --version); $(rmlint --version 2>&1 | head -1);" \
    "$(rdfind -v)"

command_of() {  # NAME: sets `cmd`
    case $1 in
    tallyrook) cmd=("$cli" --contents --all "$tree") ;;
    jdupes) cmd=(jdupes -r -q "$tree") ;;
    fdupes) cmd=(fdupes -r -q "$tree") ;;
    rmlint) cmd=(rmlint -T df -o fdupes:stdout "$tree") ;;
    rdfind) cmd=(rdfind -dryrun true -outputname "$work/rdfind.txt" "$tree") ;;
    esac
}

# Listings as paths, one a line, a blank line between sets.
# shellcheck source=bench/contents/tsv_sets.sh
source "$(dirname "$0")/tsv_sets.sh"
rdfind_sets() {  # results file: duptype id depth size device inode priority name
    awk '/^#/ { next } { id = $2 < 0 ? -$2 : $2; name = $0
        for (i = 1; i <= 7; i++) sub(/^[^ ]* /, "", name)
        sets[id] = sets[id] name "\n" }
        END { for (s in sets) printf "%s\n", sets[s] }' "$work/rdfind.txt"
}

echo "== what must be read"
find "$tree" -type f -size +0 -printf '%s %D:%i\n' | awk '
    !seen[$2]++ { n[$1]++; bytes[$1] += $1 }
    END { for (s in n) if (n[s] > 1) { files += n[s]; must += bytes[s] }
        printf "must_read_bytes %.0f (%d files of shared sizes)\n", must, files }' |
    tee "$work/must.txt"
must=$(awk '{print $2}' "$work/must.txt")
if [[ ${REFERENCE:-0} != 0 ]]; then
    "$bench/tallyrook-bench-contents" --reference "$tree" >/dev/null 2>"$work/reference.txt"
    cat "$work/reference.txt"
fi

echo "== identical sets, against jdupes -r (as device:inode sets)"
check=(jdupes "${tools[@]}")
if [[ ${CHECK:-1} == 0 ]]; then
    echo "left out (CHECK=0); the tree is read once instead, to warm the cache"
    find "$tree" -type f -print0 | xargs -0 cat >/dev/null
    check=()
fi
for name in "${check[@]}"; do
    [[ $name == jdupes && -f $work/jdupes.sets ]] && continue
    command_of "$name"
    start=$(date +%s%N)
    case $name in
    tallyrook)
        TALLYROOK_TIMINGS=1 "$cli" --contents --all --tsv --header "$tree" 2>"$work/ours.txt" |
            tsv_sets >"$work/$name.listing"
        cat "$work/ours.txt" ;;
    rdfind) "${cmd[@]}" >/dev/null 2>&1; rdfind_sets >"$work/$name.listing" ;;
    *) "${cmd[@]}" 2>/dev/null >"$work/$name.listing" ;;
    esac
    "$bench/tallyrook-bench-contents" --sets <"$work/$name.listing" >"$work/$name.sets"
    paths=$(grep -c . "$work/$name.listing" || true)
    printf '%s: %d sets, %d paths listed, %.1f s' "$name" "$(wc -l <"$work/$name.sets")" \
        "$paths" "$((($(date +%s%N) - start) / 1000000))e-3"
    if cmp -s "$work/$name.sets" "$work/jdupes.sets"; then
        echo ", the same identical sets as jdupes -r"
    else
        echo ", DIFFERENT identical sets from jdupes -r:"
        diff "$work/jdupes.sets" "$work/$name.sets" | head -10 || true
    fi
done

declare -A values=()

echo "== rounds"
echo "load before: $(cat /proc/loadavg)"
for ((r = 1; r <= ${WARM:-3}; r++)); do
    for name in "${tools[@]}"; do measure warm "$name"; done
    echo "warm round $r done: $(cat /proc/loadavg)"
done
for ((r = 1; r <= ${COLD:-2}; r++)); do
    for name in "${cold_tools[@]}"; do
        drop_caches
        measure cold "$name"
    done
    echo "cold round $r done: $(cat /proc/loadavg)"
done
echo "load after: $(cat /proc/loadavg)"

echo "== medians (ms, KB, bytes)"
print_medians "${tools[@]}"
for name in "${tools[@]}"; do
    # shellcheck disable=SC2086
    read_bytes=$(median ${values[warm $name rchar]:-0})
    awk -v n="$name" -v r="$read_bytes" -v m="$must" 'BEGIN {
        printf "%s: bytes read %.0f, %.3f x the %.0f that must be read\n", n, r, r / m, m }'
done
