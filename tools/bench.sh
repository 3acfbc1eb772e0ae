#!/usr/bin/env bash
# Builds the tool and the benchmark programs and measures, for each build this
# host can run (Sorvane.exe where it executes 32-bit code, and Sorvane64.exe),
# under one warm wineserver in a prefix of the build's own (bench-prefix in
# its tree), each program against baselines of its own bitness:
#   1. whole runs of the tool against a bare console program,
#   2. full value and sub-key walks against the plain enumeration loops,
#   3. Open + ReadValue + destroy cycles against the raw calls,
#   4. the size of the release exe.
# Prints one table per build: our figure, the baseline measured in the same
# run, ratio.
#   tools/bench.sh           the benchmark
#   tools/bench.sh --soak [--runs N]   1,000 (or N) whole runs instead, alternating
#                                     repair and re-check (tests/e2e/soak.py); not in CI
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
. "$root/tools/setup.sh"
if wine_runs_32bit; then
    runnable=(32 64)
else
    echo "Only Sorvane64.exe is measured: $WINE_NO_32BIT_REASON."
    runnable=(64)
fi
# The prefix of the build in $1, for the folder name in $2.
use_prefix() {
    local tree
    tree=$(tree_of "$build" "$1")
    . "$root/tools/wine-env.sh" "$tree/$2" "$([ "$1" = 64 ] && echo win64 || echo win32)" "$1"
    trap 'wine_prefix_stop "$WINEPREFIX"' EXIT
    wine_prefix_ready
}

if [ "${1:-}" = "--soak" ]; then
    shift
    bits=${runnable[0]}
    build_tree $bits "$(tree_of "$build" $bits)" --target Sorvane regprobe >/dev/null
    use_prefix $bits soak-prefix
    PYTHONDONTWRITEBYTECODE=1 python3 "$root/tests/e2e/soak.py" --build "$(tree_of "$build" $bits)" "$@"
    exit
fi

windows_path() { echo "Z:${1//\//\\}"; }

# The table of the build of bitness $1.
bench_build() {
    local bits=$1 tree exe bench started tool_size bare_size
    local rows=()
    tree=$(tree_of "$build" "$bits")
    exe=$tree/$([ "$bits" = 64 ] && echo Sorvane64.exe || echo Sorvane.exe)
    build_tree "$bits" "$tree" --target Sorvane bench_bare bench_registry >/dev/null
    use_prefix "$bits" bench-prefix
    bench=$tree/bench/bench_registry.exe
    run() {
        local out
        out=$(wine "$bench" "$@" </dev/null | tr -d '\r')
        printf '%s\n' "$out" | grep -v -e '^row|' -e '^note|' >&2 || true
        rows+=("$(printf '%s\n' "$out" | grep -e '^row|' -e '^note|')")
    }

    echo
    echo "$(basename "$exe") ($bits-bit), against programs of its own bitness:"
    started=$SECONDS
    wine "$bench" seed </dev/null
    run startup "$(windows_path "$exe")" "$(windows_path "$tree/bench/bench_bare.exe")" 40
    run walk 1000
    run walk 5000
    run openread 10000
    tool_size=$(stat -c %s "$exe")
    bare_size=$(stat -c %s "$tree/bench/bench_bare.exe")
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
    wine_prefix_stop "$WINEPREFIX"
}

for bits in "${runnable[@]}"; do
    bench_build "$bits"
done
