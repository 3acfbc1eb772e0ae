#!/usr/bin/env bash
# Builds the release exe and writes dist/Sorvane-<version>.zip with CPack (the
# install rules and the package settings are in CMakeLists.txt): in one folder,
# the exe, its SHA-256 sum and the technician's guide. Prints the zip's path.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-release}
dist=$(realpath -m "${DIST_DIR:-$root/dist}")
. "$root/tools/setup.sh"

# No tests in this tree: cpack builds the whole default target before it packs.
build_tree "$build" -DSORVANE_TESTS=OFF >/dev/null

name="Sorvane-$(cat "$build/version.txt")"
rm -f "$build/$name.zip"
(cd "$build" && cpack -G ZIP >/dev/null)

mkdir -p "$dist"
mv -f "$build/$name.zip" "$dist/$name.zip"
echo "$dist/$name.zip"
