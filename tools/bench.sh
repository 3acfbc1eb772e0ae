#!/usr/bin/env bash
# Builds the tool and the benchmark programs and measures, under one warm
# wineserver in a prefix of its own (build/bench-prefix):
#   1. a whole terse run of Sorvane.exe against a bare console program,
#   2. full value and sub-key walks against the plain enumeration loops,
#   3. Open + ReadValue + destroy cycles against the raw calls,
#   4. the size of the release exe.
# Prints one table: our figure, the baseline measured in the same run, ratio.
#   tools/bench.sh           the benchmark
#   tools/bench.sh --soak [--runs N]   1,000 (or N) whole runs instead, alternating
#                                     repair and re-check (tests/e2e/soak.py); not in CI
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
. "$root/tools/setup.sh"

if [ "${1:-}" = "--soak" ]; then
    shift
    build_tree "$build" --target Sorvane regprobe >/dev/null
    . "$root/tools/wine-env.sh" "$build/soak-prefix"
    trap wine_prefix_stop EXIT
    wine_prefix_ready
    PYTHONDONTWRITEBYTECODE=1 python3 "$root/tests/e2e/soak.py" --build "$build" "$@"
    exit
fi

build_tree "$build" --target Sorvane bench_bare bench_registry >/dev/null

. "$root/tools/wine-env.sh" "$build/bench-prefix"
trap wine_prefix_stop EXIT
wine_prefix_ready

windows_path() { echo "Z:${1//\//\\}"; }
bench=$build/bench/bench_registry.exe
rows=()
run() {
    local out
    out=$(wine "$bench" "$@" </dev/null | tr -d '\r')
    printf '%s\n' "$out" | grep -v -e '^row|' -e '^note|' >&2 || true
    rows+=("$(printf '%s\n' "$out" | grep -e '^row|' -e '^note|')")
}

started=$SECONDS
wine "$bench" seed </dev/null
run startup "$(windows_path "$build/Sorvane.exe")" "$(windows_path "$build/bench/bench_bare.exe")" 40
run walk 1000
run walk 5000
run openread 10000
tool_size=$(stat -c %s "$build/Sorvane.exe")
bare_size=$(stat -c %s "$build/bench/bench_bare.exe")
rows+=("$(awk -v t="$tool_size" -v b="$bare_size" \
    'BEGIN { printf "row|Release exe size (KiB; baseline: the bare program)|%.0f|%.0f|%.2f|", t/1024, b/1024, t/b }')")

printf '\n| %-72s | %9s | %9s | %6s | %-7s |\n' "Measure" "Sorvane" "Baseline" "Ratio" "Target"
printf '|%s|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..74})" "-----------" "-----------" "--------" "---------"
printf '%s\n' "${rows[@]}" | grep '^row|' | while IFS='|' read -r _ what ours base ratio target; do
    printf '| %-72s | %9s | %9s | %6s | %-7s |\n' "$what" "$ours" "$base" "$ratio" "$target"
done
echo
printf '%s\n' "${rows[@]}" | grep '^note|' | cut -d'|' -f2- || true
echo "Benchmark took $((SECONDS - started)) s"
