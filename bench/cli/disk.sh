#!/usr/bin/env bash
# The first search of a drive and the later ones: `tallyrook-cli --name --size --similar --tsv`
# on one tree, the page cache dropped before every command (cold; needs root) or kept (warm),
# side by side with `fdfind -j 8 -t f -u -S +0b` and `find -printf '%s %p\n'` in the same rounds.
#
#   bench/cli/disk.sh TREE [BUILD_DIR]
#   e.g. MODE=cold ROUNDS=3 WORKERS="1 2 4 8 16" OLD_CLI=/tmp/old/tallyrook-cli \
#            bench/cli/disk.sh /tmp/trees/realistic-1000000
#
# MODE cold (default) or warm. ALL=1 lists every row (--all). OTHERS (default "fdfind-j8
# find-sizes") names the other tools of the rounds; empty for none. WORKERS lists the read-ahead workers of the tallyrook-cli runs
# (TALLYROOK_WALK_WORKERS; "default" for the program's own). OLD_CLI adds another build's
# command, to compare. Each round runs every command once in turn. Per command: wall time median
# and best, processor time (user + system) median, peak memory (max RSS) median; every run's
# figures are printed as it ends, with the load average before each round.
set -euo pipefail

tree=$1
build=${2:-build/release}
mode=${MODE:-cold}
rounds=${ROUNDS:-3}
read -r -a workers <<<"${WORKERS:-default}"
cli=$build/src/cli/tallyrook-cli
[[ -x $cli ]] || { echo "missing $cli: build it first" >&2; exit 1; }
[[ -d $tree ]] || { echo "missing tree $tree" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

names=()
[[ -n ${OLD_CLI:-} ]] && names+=(old)
for w in "${workers[@]}"; do names+=("cli-$w"); done
read -r -a others <<<"${OTHERS-fdfind-j8 find-sizes}"
names+=("${others[@]}")
criteria="--name --size --similar${ALL:+ --all}"

command_of() {
    case $1 in
    old) echo "'$OLD_CLI' $criteria --tsv -q \"\$0\"" ;;
    cli-default) echo "'$cli' $criteria --tsv -q \"\$0\"" ;;
    cli-*) echo "TALLYROOK_WALK_WORKERS=${1#cli-} '$cli' $criteria --tsv -q \"\$0\"" ;;
    fdfind-j8) echo "fdfind -j 8 -t f -u -S +0b . \"\$0\"" ;;
    find-sizes) echo "find \"\$0\" -type f -printf '%s %p\\n'" ;;
    esac
}

median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
best() { printf '%s\n' "$@" | sort -n | head -1; }

echo "mode $mode, $rounds rounds, tree $tree ($(find "$tree" -type f | wc -l) files)"
[[ $mode == warm ]] && for _ in 1 2; do find "$tree" -printf '%s\n' >/dev/null; done
declare -A wall=() cpu=() peak=()
for ((r = 1; r <= rounds; r++)); do
    echo "round $r: $(uptime)"
    for name in "${names[@]}"; do
        if [[ $mode == cold ]]; then
            sync
            echo 3 >/proc/sys/vm/drop_caches
        fi
        /usr/bin/time -o "$work/time" -f '%e %U %S %M' \
            bash -c "$(command_of "$name") >/dev/null 2>&1" "$tree" || true
        read -r e u s m <"$work/time"
        c=$(awk -v u="$u" -v s="$s" 'BEGIN {printf "%.2f", u + s}')
        echo "  $name wall_s=$e cpu_s=$c peak_kb=$m"
        wall[$name]+="$e " cpu[$name]+="$c " peak[$name]+="$m "
    done
done
echo "after: $(uptime)"
printf '%-14s %9s %9s %9s %10s\n' command wall_s best_s cpu_s peak_kb
for name in "${names[@]}"; do
    # shellcheck disable=SC2086
    printf '%-14s %9s %9s %9s %10s\n' "$name" "$(median ${wall[$name]})" "$(best ${wall[$name]})" \
        "$(median ${cpu[$name]})" "$(median ${peak[$name]})"
done
