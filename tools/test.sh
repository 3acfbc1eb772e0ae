#!/usr/bin/env bash
# Builds the tool and its tests and runs the whole suite under Wine, in a
# prefix private to the build tree. Exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
. "$root/tools/setup.sh"

build_tree "$build"

. "$root/tools/wine-env.sh" "$build/wineprefix"
# The 64-bit prefix is booted only by the registry-view tests, when they run.
trap 'wine_prefix_stop; wine_prefix_stop "$build/wineprefix64"' EXIT
wine_prefix_ready
cd "$build"
ctest --output-on-failure --timeout 600 -j2 "$@"
