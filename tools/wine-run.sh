#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix:
#   wine-run.sh PREFIX ARCH BITS EXE [ARGS...]
# (ARCH win32 or win64, BITS of the program: 32 or 64). A 32-bit program on a
# host that cannot execute 32-bit code is skipped: exit 77, which ctest reports
# as a skip, with the reason on standard output.
set -eu
. "$(dirname "$0")/host-bits.sh"
if [ "$3" = 32 ] && ! wine_runs_32bit; then
    echo "skipped: $WINE_NO_32BIT_REASON"
    exit 77
fi
. "$(dirname "$0")/wine-env.sh" "$1" "$2" "$3"
shift 3
wine_prefix_ready
exec "$WINELOADER" "$@"
