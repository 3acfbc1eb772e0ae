#!/usr/bin/env bash
# Builds the release exe and writes dist/Sorvane-<version>.zip holding, in one
# folder, the exe, the technician's guide with CRLF line ends (it is read in
# Notepad on the server) and the exe's SHA-256 sum. Prints the zip's path.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-release}
dist=$(realpath -m "${DIST_DIR:-$root/dist}")
. "$root/tools/setup.sh"

build_tree "$build" --target Sorvane >/dev/null

name="Sorvane-$(cat "$build/version.txt")"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/$name"
cp "$build/Sorvane.exe" "$stage/$name/"
sed 's/\r*$/\r/' "$root/packaging/GUIDE.txt" >"$stage/$name/GUIDE.txt"
(cd "$stage/$name" && sha256sum Sorvane.exe >Sorvane.exe.sha256)

mkdir -p "$dist"
rm -f "$dist/$name.zip"
(cd "$stage" && zip -q -X -r "$dist/$name.zip" "$name")
echo "$dist/$name.zip"
