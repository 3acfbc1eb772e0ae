#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix: wine-run.sh PREFIX EXE [ARGS...]
set -eu
. "$(dirname "$0")/wine-env.sh" "$1"
shift
wine_prefix_ready
exec wine "$@"
