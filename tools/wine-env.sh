# Sourced with the prefix folder as $1: points Wine at that private prefix,
# boots it once (non-interactively), keeps its wineserver alive, and starts the
# background services detached so they never hold a caller's captured output
# (nor the boot lock: every Wine process started under it has fd 9 closed).
# $2 is the prefix's architecture: win32 (the default) or win64, in which the
# 32-bit loader still starts 32-bit programs, under WoW64 as on 64-bit Windows.
# $3 is the bitness of the programs to run, 32 (the default) or 64: it names
# the loader (tools/host-bits.sh), and `wine` below is this loader.
. "$(dirname "${BASH_SOURCE[0]}")/host-bits.sh"

export WINEPREFIX="$(realpath -m "$1")"
export WINEARCH=${2:-win32}
WINELOADER=$(wine_loader "${3:-32}") || {
    echo "no ${3:-32}-bit Wine loader is installed" >&2
    exit 1
}
export WINELOADER
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

wine() { "$WINELOADER" "$@"; }

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
