#!/usr/bin/env bash
# Stands in for Sorvane.exe in the PowerShell tests: runs the build tree's exe
# (SORVANE_TOOL) under the Wine loader and prefix that run-pester.sh set up,
# passing the arguments and the output through untouched.
exec "$WINELOADER" "$SORVANE_TOOL" "$@"
