#!/usr/bin/env bash
# Builds the tool, seeds a private Wine prefix with sample settings that break
# both rules, and runs the tool on this terminal. `tools/demo.sh 1` runs it in
# verbose mode. Afterwards it shows what the registry holds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
. "$root/tools/setup.sh"

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target Sorvane -j"$(nproc)" >/dev/null

. "$root/tools/wine-env.sh" "$build/demo-prefix"
trap wine_prefix_stop EXIT
echo "Preparing a private Wine prefix in $build/demo-prefix (the first time takes a minute)..."
wine_prefix_ready
wine reg import "$(winepath -w "$root/tools/demo-settings.reg" 2>/dev/null)" </dev/null >/dev/null 2>&1
echo "Seeded from tools/demo-settings.reg. Starting the tool:"
echo

wine "$build/Sorvane.exe" "$@"

echo
echo "The registry now holds:"
for key in QXLDAPSRV QXLDAPClient; do
    wine reg query "HKLM\\SOFTWARE\\Brimsek\\vexa\\$key" </dev/null 2>/dev/null | tr -d '\r' |
        grep -v '^$' || true
done
