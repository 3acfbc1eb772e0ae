#!/usr/bin/env bash
# Builds both exes and their tests, Sorvane64.exe (x86_64) in build/x86_64 and
# Sorvane.exe (i686) in build/i686, and runs the whole suite under Wine in each
# tree that this host can execute, each tree in prefixes of its own. Where
# 32-bit code cannot run, Sorvane.exe is built and inspected (machine type,
# imports, manifest, version record) and its other tests are reported as
# skipped, with the reason. SORVANE_NO_32BIT=1 takes that path on any host.
# Arguments go to ctest. Exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
. "$root/tools/setup.sh"

if wine_runs_32bit; then
    builds="Sorvane.exe (32-bit) and Sorvane64.exe (64-bit) are both built and run"
else
    builds="Sorvane64.exe (64-bit) is built and run; Sorvane.exe (32-bit) is built and inspected, not run: $WINE_NO_32BIT_REASON"
fi
echo "Builds: $builds"
# The PowerShell tests (tests/powershell) need pwsh and Pester 5.
if powershell=$("$root/tests/powershell/run-pester.sh" --probe 2>&1); then
    powershell="PowerShell tests: run in $powershell"
else
    powershell="PowerShell tests: $powershell"
fi
echo "$powershell"

trees=("$(tree_of "$build" 64)" "$(tree_of "$build" 32)")
trap 'for tree in "${trees[@]}"; do wine_prefix_stop "$tree/wineprefix"; wine_prefix_stop "$tree/wineprefix64"; done' EXIT
build_tree 64 "${trees[0]}"
build_tree 32 "${trees[1]}"

# A test that fails is run once more, alone, and named in the last line when
# it passes then: a Wine program in a freshly booted prefix has been seen to
# end at once with no output (its exit code and test are then in the log).
failed=()
flaky=()
for tree in "${trees[@]}"; do
    echo "== $(basename "$tree"): ctest"
    (cd "$tree" && ctest --output-on-failure --timeout 600 -j2 "$@") && continue
    again=$(cd "$tree" && grep -o '^[0-9]*:[^:]*' Testing/Temporary/LastTestsFailed.log | cut -d: -f2 | tr '\n' ' ')
    echo "== $(basename "$tree"): ctest again, alone: $again"
    if (cd "$tree" && ctest --output-on-failure --timeout 600 --rerun-failed); then
        flaky+=("$(basename "$tree"): $again")
    else
        failed+=("$(basename "$tree")")
    fi
done
took="in $((SECONDS / 60)) min $((SECONDS % 60)) s"
echo "$powershell"
[ ${#flaky[@]} -eq 0 ] || echo "Passed only when run again: ${flaky[*]}"
if [ ${#failed[@]} -eq 0 ]; then
    echo "Builds: $builds. All tests passed $took."
else
    echo "Builds: $builds. Tests FAILED in: ${failed[*]} ($took)."
    exit 1
fi
