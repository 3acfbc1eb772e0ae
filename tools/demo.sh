#!/usr/bin/env bash
# Builds the tool, seeds a private Wine prefix with sample settings that break
# both rules, and runs the tool on this terminal. `tools/demo.sh 1` runs it in
# verbose mode; any other arguments go to the tool too. Afterwards it shows
# what the registry holds. It runs Sorvane.exe where this host executes 32-bit
# code and Sorvane64.exe (in a 64-bit prefix) where it does not, or when
# SORVANE_NO_32BIT=1 is set.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
. "$root/tools/setup.sh"

if wine_runs_32bit; then
    bits=32 arch=win32 exe=Sorvane.exe view=()
else
    echo "Running Sorvane64.exe: $WINE_NO_32BIT_REASON."
    # The 64-bit reg.exe reaches the view the tool reads only when asked.
    bits=64 arch=win64 exe=Sorvane64.exe view=(/reg:32)
fi
tree=$(tree_of "$build" $bits)
build_tree $bits "$tree" --target Sorvane >/dev/null

. "$root/tools/wine-env.sh" "$tree/demo-prefix" $arch $bits
trap 'wine_prefix_stop "$WINEPREFIX"' EXIT
echo "Preparing a private Wine prefix in $tree/demo-prefix (the first time takes a minute)..."
wine_prefix_ready
wine reg import "$(wine winepath -w "$root/tools/demo-settings.reg" 2>/dev/null)" "${view[@]}" \
    </dev/null >/dev/null 2>&1
echo "Seeded from tools/demo-settings.reg. Starting the tool:"
echo

# The tool's exit code is the demo's, after the registry is shown (/check
# exits 2 on the sample settings, which break both rules).
code=0
wine "$tree/$exe" "$@" || code=$?

echo
echo "The registry now holds:"
for key in QXLDAPSRV QXLDAPClient; do
    wine reg query "HKLM\\SOFTWARE\\Brimsek\\vexa\\$key" "${view[@]}" </dev/null 2>/dev/null |
        tr -d '\r' | grep -v '^$' || true
done
exit $code
