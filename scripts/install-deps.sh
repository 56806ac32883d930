#!/usr/bin/env bash
# Installs what building, testing and packaging Tallyrook needs on Debian 12, skipping what is
# there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang-format clang-tidy
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
    qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
    libqt6dbus6
    libsqlite3-dev sqlite3
    fonts-liberation
    dpkg-dev file
    groff-base appstream desktop-file-utils lintian
    fuse3 python3-fusepy
    xvfb dbus dbus-x11 at-spi2-core python3-pyatspi
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
