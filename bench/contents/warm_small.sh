#!/usr/bin/env bash
# Warm runs of the contents check against `jdupes -r` on a tree of many small files
# (`tallyrook-gen-contents --small`), every command under /usr/bin/time -v, with the load:
#
#   bench/contents/warm_small.sh BUILD_DIR [CLI...]
#
# CLI: the tallyrook-cli programs to compare (BUILD_DIR's by default), e.g. one built from an
# older commit. FILES (default 200000) small files; the tree is made under TMPDIR and deleted
# afterwards, unless KEEP_TREE names a folder where it is kept and reused. ROUNDS (default 3)
# rounds, every command once in turn. Before them each command's identical sets are compared
# with jdupes' (as device:inode sets, as run.sh does).
set -euo pipefail

build=${1:-build/release}
shift || true
clis=("$@")
[[ ${#clis[@]} -gt 0 ]] || clis=("$build/src/cli/tallyrook-cli")
bench=$build/bench/contents
rounds=${ROUNDS:-3}
command -v jdupes >/dev/null || { echo "jdupes is missing: apt-get install jdupes" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tallyrook-bench-small-XXXXXX")
trap 'rm -rf "$work"' EXIT
tree=${KEEP_TREE:-$work/tree}
[[ -d $tree ]] || "$bench/tallyrook-gen-contents" --small "${FILES:-200000}" "$tree"
echo "tree: $tree, $(find "$tree" -type f | wc -l) files, $(du -sb "$tree" | cut -f1) bytes"
echo "tools: $(jdupes -v | head -1)"

# shellcheck source=bench/contents/tsv_sets.sh
source "$(dirname "$0")/tsv_sets.sh"

echo "== identical sets"
jdupes -r -q "$tree" 2>/dev/null | "$bench/tallyrook-bench-contents" --sets >"$work/jdupes.sets"
echo "jdupes -r: $(wc -l <"$work/jdupes.sets") sets"
for cli in "${clis[@]}"; do
    "$cli" --size --all --contents --tsv --header "$tree" | tsv_sets |
        "$bench/tallyrook-bench-contents" --sets >"$work/cli.sets"
    if cmp -s "$work/cli.sets" "$work/jdupes.sets"; then
        echo "$cli: the same identical sets as jdupes -r"
    else
        echo "$cli: DIFFERENT identical sets ($(wc -l <"$work/cli.sets"))"
    fi
done

# One line per run: round, command, wall s, user s, sys s, peak RSS KB, load before.
run() {  # ROUND NAME COMMAND...
    local round=$1 name=$2 load
    shift 2
    load=$(cut -d' ' -f1-3 /proc/loadavg)
    /usr/bin/time -v "$@" >/dev/null 2>"$work/time" || echo "$name failed" >&2
    awk -v r="$round" -v n="$name" -v l="$load" -F': ' '
        /Elapsed \(wall clock\)/ { split($2, t, ":"); wall = t[1] * 60 + t[2] }
        /User time/ { user = $2 } /System time/ { sys = $2 }
        /Maximum resident set size/ { rss = $2 }
        END { printf "%s %s %.2f %.2f %.2f %d %s\n", r, n, wall, user, sys, rss, l }' "$work/time"
}

echo "== warm rounds: round command wall_s user_s sys_s max_rss_kb load(1 5 15 min)"
jdupes -r -q "$tree" >/dev/null 2>&1
for ((r = 1; r <= rounds; r++)); do
    for k in "${!clis[@]}"; do
        run "$r" "cli$k" "${clis[$k]}" --size --all --contents --tsv --header "$tree"
    done
    run "$r" jdupes jdupes -r -q "$tree"
done
