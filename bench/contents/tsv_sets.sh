# shellcheck shell=bash
# Sourced by the contents benchmarks: `tsv_sets` turns our TSV (a header naming `path` and `copy`)
# on stdin into sets of paths, one path a line and a blank line after each set, as jdupes lists
# them.
tsv_sets() {
    awk -F'\t' 'NR == 1 { for (i = 1; i <= NF; i++) col[$i] = i; next }
        $col["copy"] != "" { sets[$col["copy"]] = sets[$col["copy"]] $col["path"] "\n" }
        END { for (s in sets) printf "%s\n", sets[s] }'
}
