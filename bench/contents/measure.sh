# What the contents benchmarks share. The caller sets `bench` (the build's bench folder), `cli`
# (tallyrook-cli), `work` (a scratch folder), the associative array `values`, and command_of NAME,
# which sets `cmd`.

check_built() {  # the programs the benchmarks run, or a word on what to build
    local tool
    for tool in "$bench/tallyrook-gen-contents" "$bench/tallyrook-bench-contents" \
        "$bench/tallyrook-measure" "$cli"; do
        [[ -x $tool ]] || { echo "missing $tool: build the targets first" >&2; exit 1; }
    done
}

measure() {  # PHASE NAME
    command_of "$2"
    local load line
    load=$(cut -d' ' -f1-3 /proc/loadavg)
    if ! "$bench/tallyrook-measure" "${cmd[@]}" >/dev/null 2>"$work/err"; then
        echo "$2 failed:" >&2
        tail -5 "$work/err" >&2
    fi
    line=$(grep '^wall_ms ' "$work/err" | tail -1)
    echo "$1 $2: $line load $load"
    # shellcheck disable=SC2086 # the figures, one word each
    set -- "$1" "$2" $line
    local phase=$1 name=$2
    shift 2
    while [[ $# -ge 2 ]]; do
        values[$phase $name $1]+="$2 "
        shift 2
    done
}
drop_caches() { sync; echo 3 >/proc/sys/vm/drop_caches; }
median() {  # of an even count, the mean of the middle two
    printf '%s\n' "$@" | sort -n |
        awk '{v[NR]=$1} END {printf "%.0f", (v[int((NR+1)/2)] + v[int(NR/2)+1]) / 2}'
}
print_medians() {  # NAME...: a table of each command's medians, warm then cold
    local phase name metric row
    printf '%-6s %-10s %9s %9s %9s %11s %12s %14s %14s\n' phase command wall_ms user_ms sys_ms \
        max_rss_kb peak_anon_kb rchar read_bytes
    for phase in warm cold; do
        for name in "$@"; do
            [[ -n ${values[$phase $name wall_ms]:-} ]] || continue
            row=()
            for metric in wall_ms user_ms sys_ms max_rss_kb peak_anon_kb rchar read_bytes; do
                # shellcheck disable=SC2086
                row+=("$(median ${values[$phase $name $metric]})")
            done
            printf '%-6s %-10s %9s %9s %9s %11s %12s %14s %14s\n' "$phase" "$name" "${row[@]}"
        done
    done
}
