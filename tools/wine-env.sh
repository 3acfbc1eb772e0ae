# Sourced with the prefix folder as $1: points Wine at that private prefix,
# boots it once (non-interactively), keeps its wineserver alive, and starts the
# background services detached so they never hold a caller's captured output
# (nor the boot lock: every Wine process started under it has fd 9 closed).
# $2 is the prefix's architecture: win32 (the default) or win64, in which the
# 32-bit loader still starts 32-bit programs, under WoW64 as on 64-bit Windows.
# $3 is the bitness of the programs to run, 32 (the default) or 64: it names
# the loader. Debian's `wine` wrapper picks the 32-bit loader whenever wine32
# is installed, runnable or not, so the loader is always named here, and
# `wine` below is this loader.
export WINEPREFIX="$(realpath -m "$1")"
export WINEARCH=${2:-win32}
if [ "${3:-32}" = 64 ]; then
    export WINELOADER=/usr/lib/wine/wine64
else
    export WINELOADER=/usr/lib/wine/wine
fi
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

wine() { "$WINELOADER" "$@"; }

wine_server_binary() {
    if [ -x /usr/lib/wine/wineserver ]; then
        echo /usr/lib/wine/wineserver
    else
        command -v wineserver
    fi
}

# Whether this host executes 32-bit programs; the reason when it does not is
# in $WINE_NO_32BIT_REASON. Some kernels run 64-bit user code only (IA-32
# emulation off: the 32-bit loader fails with "Exec format error"), and under
# qemu-user emulation one 32-bit Wine process takes minutes. SORVANE_NO_32BIT=1
# takes the 64-bit-only path on a host that could run both.
wine_runs_32bit() {
    if [ -n "${SORVANE_NO_32BIT:-}" ] && [ "$SORVANE_NO_32BIT" != 0 ]; then
        WINE_NO_32BIT_REASON="SORVANE_NO_32BIT is set"
        return 1
    fi
    if [ ! -x /usr/lib/wine/wine ]; then
        WINE_NO_32BIT_REASON="the 32-bit Wine loader (wine32:i386) is not installed"
        return 1
    fi
    if grep -qsx enabled /proc/sys/fs/binfmt_misc/qemu-i386; then
        WINE_NO_32BIT_REASON="32-bit code runs here only under qemu-user emulation"
        return 1
    fi
    if ! timeout 20 /usr/lib/wine/wine --version </dev/null >/dev/null 2>&1; then
        WINE_NO_32BIT_REASON="this host cannot execute 32-bit code (the 32-bit Wine loader fails to start)"
        return 1
    fi
    WINE_NO_32BIT_REASON=
}

wine_prefix_ready() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.booted" ]; then
            rm -rf "$WINEPREFIX"
            if ! wine wineboot -i </dev/null >"$WINEPREFIX.boot.log" 2>&1 9>&-; then
                echo "wine prefix boot failed; see $WINEPREFIX.boot.log" >&2
                exit 1
            fi
            "$(wine_server_binary)" -w 9>&-
            touch "$WINEPREFIX/.booted"
        fi
        # Exits 2 when the server is already up, which is just as good.
        "$(wine_server_binary)" -p 120 </dev/null >/dev/null 2>&1 9>&- || true
        wine cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
    ) 9>"$WINEPREFIX.lock"
}

# Stops the server of this prefix, or of the prefix folder given as $1 (a
# no-op when none runs: -k never starts one).
wine_prefix_stop() {
    WINEPREFIX="$(realpath -m "${1:-$WINEPREFIX}")" "$(wine_server_binary)" -k >/dev/null 2>&1 || true
}
