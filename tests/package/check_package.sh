#!/usr/bin/env bash
# The packaging checks, one case per call: check_package.sh CASE ARGS...
# Exit status 77 tells CTest that a tool the case needs is not installed.
set -euo pipefail

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tallyrook-package-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
# Nothing here may touch the real user's settings, Trash or home.
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data
export XDG_RUNTIME_DIR=$scratch/run LC_ALL=C.UTF-8
mkdir -p -m 700 "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"

need() { command -v "$1" >/dev/null || { echo "SKIP: $1 is not installed"; exit 77; }; }
fail() { echo "FAIL: $*" >&2; exit 1; }
same() { diff -u --label expected --label actual <(cat <<<"$1") <(cat <<<"$2") || fail "$3"; }

# The option names of a --help text: the lines that start with two blanks and a dash, up to the
# gap before the description ("  -q, --quiet  ...", "  --max-rows <N>  ...").
help_options() {
    grep -E '^  -' | sed -E 's/^  //; s/  .*//' | tr ',' '\n' |
        sed -E 's/^ +//; s/[ =<\[].*//' | grep -E '^-' | sort -u
}
# The option names a manual page lists: the tags of the paragraphs in its OPTIONS section.
man_options() {
    awk '/^\.SH /{in_options = ($2 == "OPTIONS")} in_options && tag {print; tag = 0}
         in_options && /^\.TP/{tag = 1}' "$1" |
        sed -E 's/^\.[A-Z]+ //; s/\\-/-/g; s/\\f[BIRP]//g; s/"//g' | tr ', ' '\n\n' |
        grep -E '^-' | sort -u
}

case_man_pages_render() {
    need groff
    for page in "$@"; do
        local warnings
        warnings=$(groff -man -ww -z -Tutf8 "$page" 2>&1)
        [ -z "$warnings" ] || fail "$page: $warnings"
    done
}

case_cli_man_page_lists_the_help_options() {
    local from_help
    from_help=$("$1" --help | help_options)
    [ -n "$from_help" ] || fail "no option found in $1 --help"
    same "$from_help" "$(man_options "$2")" "the options of $2 differ from those of --help"
}

case_desktop_entry_is_valid() { need desktop-file-validate && desktop-file-validate "$1"; }

case_metainfo_is_valid() {
    need appstreamcli
    appstreamcli validate --no-net --pedantic "$2"
    grep -q "<launchable type=\"desktop-id\">$(basename "$3")</launchable>" "$2" ||
        fail "$2 does not name the desktop entry $(basename "$3")"
    grep -q "<release version=\"$("$1" --version | cut -d' ' -f2)\"" "$2" || fail "$2: not $1's version"
}

case_deb_installs_and_runs() {
    need dpkg-deb
    local cli=$2 deb root=$scratch/root status=0
    cpack -G DEB --config "$1" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
        { cat "$scratch/cpack.log"; fail "cpack failed"; }
    deb=$(echo "$scratch"/out/tallyrook_*.deb)
    same "$(printf './usr/%s\n' bin/tallyrook bin/tallyrook-cli \
        share/applications/tallyrook.desktop \
        share/doc/tallyrook/changelog.Debian.gz share/doc/tallyrook/copyright \
        share/icons/hicolor/scalable/apps/tallyrook.svg share/lintian/overrides/tallyrook \
        share/man/man1/tallyrook-cli.1.gz share/man/man1/tallyrook.1.gz \
        share/metainfo/org.marwendel.tallyrook.metainfo.xml share/tallyrook/HAND-M.CUR)" \
        "$(dpkg-deb -c "$deb" | grep -v '^d' | awk '{print $6}' | sort)" \
        "the package holds other files than expected"
    # What the binaries link, found by dpkg-shlibdeps, and what they load by name.
    same "fonts-liberation libc6 libqt6core6 libqt6gui6 libqt6svg6 libqt6widgets6" \
        "$(dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' | sed -E 's/^ +//; s/ .*//' |
            grep -xE 'fonts-liberation|libc6|libqt6(core|gui|svg|widgets)6' | sort -u | xargs)" \
        "Depends lacks a package"
    # What Debian's checker says of it: neither an error nor a warning, pedantic as it may be.
    if command -v lintian >/dev/null; then
        lintian --pedantic --fail-on error,warning "$deb" || fail "lintian finds fault with $deb"
    fi
    # Installed into a scratch root, the programs run without the source or build tree.
    dpkg-deb -x "$deb" "$root"
    mkdir -p "$scratch/tree/a" "$scratch/tree/b"
    printf 'x' >"$scratch/tree/a/song.mp3" && printf 'y' >"$scratch/tree/b/song.mp3"
    same "$("$cli" --name --tsv "$scratch/tree")" "$("$root/usr/bin/tallyrook-cli" --name --tsv \
        "$scratch/tree")" "the installed tallyrook-cli prints other rows than the built one"
    # The window comes up and stays up until it is ended.
    QT_QPA_PLATFORM=offscreen timeout 3 "$root/usr/bin/tallyrook" >"$scratch/gui.log" 2>&1 ||
        status=$?
    [ "$status" -eq 124 ] || { cat "$scratch/gui.log"; fail "tallyrook ended with $status"; }
    if command -v man >/dev/null; then
        man -l "$root/usr/share/man/man1/tallyrook-cli.1.gz" | grep -q 'EXIT STATUS' ||
            fail "the installed manual page of tallyrook-cli does not read"
    fi
}

"case_${1//-/_}" "${@:2}"
