#!/usr/bin/env bash
# run-pester.sh BITS PREFIX ARCH BUILD TESTFILE: runs one Pester 5 test file in PowerShell 7
# against the build tree's exe under Wine; exits 77 (ctest: skipped), saying why, where pwsh or
# Pester 5 is missing or the host cannot run the exe. --probe: the versions, or why not (77).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
missing="is not installed; as root, tools/install.sh installs it where dotnet is present"
if ! command -v pwsh >/dev/null 2>&1; then
    echo "skipped: PowerShell (pwsh) $missing"
    exit 77
fi
pester='$pester = Get-Module -ListAvailable -Name Pester | Where-Object { $_.Version.Major -eq 5 } |
    Sort-Object Version -Descending | Select-Object -First 1
if (-not $pester) { "skipped: Pester 5 '"$missing"'"; exit 77 }'
if [ "${1:-}" = --probe ]; then
    exec pwsh -NoProfile -NonInteractive -Command "$pester"'
        "PowerShell $($PSVersionTable.PSVersion), Pester $($pester.Version)"'
fi
bits=$1 prefix=$2 arch=$3 build=$4 file=$5
. "$here/../../tools/wine-env.sh" "$prefix" "$arch" "$bits"
if [ "$bits" = 32 ] && ! wine_runs_32bit; then
    echo "skipped: $WINE_NO_32BIT_REASON"
    exit 77
fi
# The remoting tests need an sshd of their own.
if [ "$(basename "$file")" = Remoting.Tests.ps1 ]; then
    "$here/loopback-sshd.sh" --probe || exit $?
fi
wine_prefix_ready
exe=$build/Sorvane.exe
[ "$bits" = 64 ] && exe=$build/Sorvane64.exe
export SORVANE_TOOL=$exe SORVANE_EXE=$here/wine-exe.sh SORVANE_PROBE=$build/tests/regprobe.exe
export SORVANE_MODULE=$build/packaging/Sorvane SORVANE_FLEET=$build/packaging/fleet
export SORVANE_TEST_FILE=$file POWERSHELL_TELEMETRY_OPTOUT=1 POWERSHELL_UPDATECHECK=Off
# pwsh hands a program its arguments in the locale's encoding: without a UTF-8
# locale (an empty environment, LANG unset) a value such as "dc=cafe" with an acute e reaches the exe changed.
case "${LC_ALL:-${LC_CTYPE:-${LANG:-}}}" in
*UTF-8* | *utf8*) ;;
*) export LC_ALL=C.UTF-8 ;;
esac
exec pwsh -NoProfile -NonInteractive -Command "$pester"'
    Import-Module $pester.Path
    $config = New-PesterConfiguration
    $config.Run.Path = $env:SORVANE_TEST_FILE
    $config.Run.Exit = $true
    $config.Output.Verbosity = "Detailed"
    Invoke-Pester -Configuration $config'
