# Sourced by the tools: wine_runs_32bit, the one probe of what this host runs.
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
