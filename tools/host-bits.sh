# Sourced by the tools: the one probe of what this host runs, and where its
# Wine is. Sourcing it sets nothing; the functions print or test.

# Prints the Wine loader for programs of bitness $1 (32 or 64), the first of
# the places distributions put it; fails when there is none. Debian's `wine`
# wrapper picks the 32-bit loader whenever wine32 is installed, runnable or
# not, so every tool names the loader instead.
wine_loader() {
    local candidate candidates
    if [ "$1" = 64 ]; then
        candidates=(/usr/lib/wine/wine64 /usr/lib/x86_64-linux-gnu/wine/wine64 /opt/wine-stable/bin/wine64)
    else
        candidates=(/usr/lib/wine/wine /usr/lib/i386-linux-gnu/wine/wine /opt/wine-stable/bin/wine)
    fi
    for candidate in "${candidates[@]}"; do
        if [ -x "$candidate" ]; then
            echo "$candidate"
            return 0
        fi
    done
    return 1
}

# Prints the wineserver that goes with the loaders.
wine_server_binary() {
    local loader
    for loader in "$(wine_loader 64)" "$(wine_loader 32)"; do
        if [ -n "$loader" ] && [ -x "$(dirname "$loader")/wineserver" ]; then
            echo "$(dirname "$loader")/wineserver"
            return 0
        fi
    done
    command -v wineserver
}

# Stops the server of the prefix folder $1, or of $WINEPREFIX (a no-op when
# none runs: -k never starts one).
wine_prefix_stop() {
    local prefix=${1:-${WINEPREFIX:-}}
    [ -n "$prefix" ] || return 0
    WINEPREFIX="$(realpath -m "$prefix")" "$(wine_server_binary)" -k >/dev/null 2>&1 || true
}

# Whether this host executes 32-bit programs; the reason when it does not is
# in $WINE_NO_32BIT_REASON. Some kernels run 64-bit user code only (IA-32
# emulation off: the 32-bit loader fails with "Exec format error"), and under
# qemu-user emulation one 32-bit Wine process takes minutes. SORVANE_NO_32BIT=1
# takes the 64-bit-only path on a host that could run both.
wine_runs_32bit() {
    local loader
    if [ -n "${SORVANE_NO_32BIT:-}" ] && [ "$SORVANE_NO_32BIT" != 0 ]; then
        WINE_NO_32BIT_REASON="SORVANE_NO_32BIT is set"
        return 1
    fi
    if ! loader=$(wine_loader 32); then
        WINE_NO_32BIT_REASON="the 32-bit Wine loader (wine32:i386) is not installed"
        return 1
    fi
    if grep -qsx enabled /proc/sys/fs/binfmt_misc/qemu-i386; then
        WINE_NO_32BIT_REASON="32-bit code runs here only under qemu-user emulation"
        return 1
    fi
    if ! timeout 20 "$loader" --version </dev/null >/dev/null 2>&1; then
        WINE_NO_32BIT_REASON="this host cannot execute 32-bit code (the 32-bit Wine loader fails to start)"
        return 1
    fi
    WINE_NO_32BIT_REASON=
}

# Run as a program, prints the loader for bitness $1 (for the test harness).
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    wine_loader "$1"
fi
