#!/usr/bin/env bash
# host-runs.sh BITS COMMAND [ARGS...]: runs COMMAND (a test that starts Windows
# programs of that bitness under Wine) when this host can execute them;
# otherwise exit 77, which ctest reports as a skip, with the reason.
set -eu
. "$(dirname "$0")/host-bits.sh"
bits=$1
shift
if [ "$bits" = 32 ] && ! wine_runs_32bit; then
    echo "skipped: $WINE_NO_32BIT_REASON"
    exit 77
fi
exec "$@"
