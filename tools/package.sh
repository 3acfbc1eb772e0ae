#!/usr/bin/env bash
# Builds both release exes and writes dist/Sorvane-<version>.zip with CPack (the
# install rules and the package settings are in CMakeLists.txt): in one folder,
# Sorvane.exe (32-bit), Sorvane64.exe (64-bit), a SHA-256 sum for each and the
# technician's guide. Prints the zip's path.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-release}
dist=$(realpath -m "${DIST_DIR:-$root/dist}")
. "$root/tools/setup.sh"

# No tests in these trees: cpack builds the whole default target before it packs.
build_tree 64 "$(tree_of "$build" 64)" -DSORVANE_TESTS=OFF >/dev/null
tree=$(tree_of "$build" 32)
build_tree 32 "$tree" -DSORVANE_TESTS=OFF \
    "-DSORVANE_OTHER_EXE=$(tree_of "$build" 64)/Sorvane64.exe" >/dev/null

name="Sorvane-$(cat "$tree/version.txt")"
rm -f "$tree/$name.zip"
(cd "$tree" && cpack -G ZIP >/dev/null)

mkdir -p "$dist"
mv -f "$tree/$name.zip" "$dist/$name.zip"
echo "$dist/$name.zip"
