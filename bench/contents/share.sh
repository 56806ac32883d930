#!/usr/bin/env bash
# Exact Contents on a share that answers each question after a round trip: `tallyrook-cli
# --contents --all` against `jdupes -r` on bench/cli/latency_fs.py's view of a tree of small files
# (tallyrook-gen-contents --small FILES, default 5000), LATENCY_MS (default 1) before every
# look-up, listing, open and read, nothing cached in the kernel:
#
#   flock -x /tmp/tallyrook-bench.lock bench/contents/share.sh BUILD_DIR
#
# First both commands' identical sets are compared (as device:inode sets: the view keeps the
# inode numbers), then ROUNDS (default 3) rounds run each once in turn through tallyrook-measure,
# with the load average before each. The tree is made under TMPDIR and deleted afterwards, unless
# KEEP_TREE names a folder where it is kept and reused. Needs python3-fusepy and fuse3.
set -euo pipefail

build=${1:-build/release}
bench=$build/bench/contents
cli=$build/src/cli/tallyrook-cli
view=$(dirname "$0")/../cli/latency_fs.py
command -v jdupes >/dev/null || { echo "jdupes is missing: apt-get install jdupes" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tallyrook-bench-share-XXXXXX")
mount=$work/mount
mkdir "$mount"
cleanup() {
    fusermount -u -z "$mount" 2>/dev/null || true
    [[ -n ${view_pid:-} ]] && wait "$view_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
tree=${KEEP_TREE:-$work/tree}
[[ -d $tree ]] || "$bench/tallyrook-gen-contents" --small "${FILES:-5000}" --seed 1 "$tree"
echo "tree: $tree, $(find "$tree" -type f | wc -l) files, $(du -sb "$tree" | cut -f1) bytes"
"$view" "$tree" "$mount" "${LATENCY_MS:-1}" &
view_pid=$!
for _ in $(seq 50); do
    mountpoint -q "$mount" && break
    sleep 0.1
done
mountpoint -q "$mount" || { echo "the view did not mount" >&2; exit 1; }
echo "view: $mount, ${LATENCY_MS:-1} ms a request; tools: $(jdupes -v | head -1)"

# shellcheck source=bench/contents/tsv_sets.sh
source "$(dirname "$0")/tsv_sets.sh"
echo "== identical sets"
jdupes -r -q "$mount" 2>/dev/null | "$bench/tallyrook-bench-contents" --sets >"$work/jdupes.sets"
TALLYROOK_TIMINGS=1 "$cli" --contents --all --tsv --header "$mount" 2>"$work/ours.txt" |
    tsv_sets | "$bench/tallyrook-bench-contents" --sets >"$work/ours.sets"
cat "$work/ours.txt"
echo "jdupes -r: $(wc -l <"$work/jdupes.sets") sets; tallyrook: $(wc -l <"$work/ours.sets") sets"
if cmp -s "$work/jdupes.sets" "$work/ours.sets"; then
    echo "the same identical sets"
else
    echo "DIFFERENT identical sets"
fi

echo "== rounds"
for ((r = 1; r <= ${ROUNDS:-3}; r++)); do
    for name in tallyrook jdupes; do
        case $name in
        tallyrook) cmd=("$cli" --contents --all "$mount") ;;
        jdupes) cmd=(jdupes -r -q "$mount") ;;
        esac
        load=$(cut -d' ' -f1-3 /proc/loadavg)
        "$bench/tallyrook-measure" "${cmd[@]}" >/dev/null 2>"$work/err" || echo "$name failed" >&2
        echo "$r $name: $(grep '^wall_ms ' "$work/err" | tail -1) load $load"
    done
done
