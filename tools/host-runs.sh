#!/usr/bin/env bash
# host-runs.sh BITS COMMAND [ARGS...]: runs COMMAND (a test that starts Windows
# programs of that bitness under Wine) when this host can execute them;
# otherwise exit 77, which ctest reports as a skip, with the reason.
set -eu
. "$(dirname "$0")/wine-env.sh" /nonexistent win32 "$1"
shift
if [ "$WINELOADER" = /usr/lib/wine/wine ] && ! wine_runs_32bit; then
    echo "skipped: $WINE_NO_32BIT_REASON"
    exit 77
fi
exec "$@"
