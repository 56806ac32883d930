#!/usr/bin/env bash
# Installs what is missing, builds the programs, and makes the Debian package
# build/package/tallyrook_VERSION_ARCH.deb; install it with
#     sudo apt install ./build/package/tallyrook_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset package >/dev/null
cmake --build --preset package
cpack --preset package
