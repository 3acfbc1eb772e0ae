# Sourced by the tools: installs what the build and the tests need when it is
# missing (Debian 12, as root), quick when everything is there; and build_tree.
need=()
command -v i686-w64-mingw32-g++-posix >/dev/null 2>&1 || need+=(g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686)
command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || need+=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64)
# cpack (tools/package.sh) comes with Debian's cmake package.
{ command -v cmake && command -v cpack; } >/dev/null 2>&1 || need+=(cmake)
command -v make >/dev/null 2>&1 || need+=(make)
command -v python3 >/dev/null 2>&1 || need+=(python3)
command -v unzip >/dev/null 2>&1 || need+=(unzip)
command -v locale-gen >/dev/null 2>&1 || need+=(locales)
[ -d /usr/src/googletest/googletest ] || need+=(googletest)
command -v wine >/dev/null 2>&1 || need+=(wine)
# The 32-bit loader installs on any host; whether it runs there is probed
# (wine_runs_32bit in tools/wine-env.sh).
dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine32:i386)
# The 64-bit loader: for the 64-bit exe, and for the prefix in which the 32-bit
# exe runs under WoW64.
dpkg -s wine64 >/dev/null 2>&1 || need+=(wine64)
if [ ${#need[@]} -gt 0 ]; then
    echo "Installing: ${need[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${need[@]}" >/dev/null
fi

# The console tests run the tool on a terminal under these locales, whose code
# pages Wine gives the console (1252 with 437, and 1252 with 850).
for wanted in en_US de_DE; do
    if ! locale -a 2>/dev/null | grep -qx "$wanted.utf8"; then
        sed -i "s/^# *\($wanted.UTF-8 UTF-8\)/\1/" /etc/locale.gen
        grep -qx "$wanted.UTF-8 UTF-8" /etc/locale.gen || echo "$wanted.UTF-8 UTF-8" >>/etc/locale.gen
        locale-gen >/dev/null
    fi
done

. "$(dirname "${BASH_SOURCE[0]}")/host-bits.sh"

# Configures (once) and builds the tree in $2 with the cross toolchain of
# bitness $1 (32: i686, Sorvane.exe; 64: x86_64, Sorvane64.exe); leading -D
# arguments go to the configure step (for example -DSORVANE_TESTS=OFF), the
# rest to `cmake --build` (for example --target Sorvane).
build_tree() {
    local source toolchain
    source=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    toolchain=$source/cmake/mingw-$([ "$1" = 64 ] && echo x86_64 || echo i686).cmake
    local build=$2
    shift 2
    local options=()
    while [ $# -gt 0 ] && [[ $1 == -D* ]]; do
        options+=("$1")
        shift
    done
    cmake -S "$source" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release "${options[@]}" >/dev/null
    cmake --build "$build" -j"$(nproc)" "$@"
}

# The two build trees below the folder $1, by bitness.
tree_of() {
    echo "$1/$([ "$2" = 64 ] && echo x86_64 || echo i686)"
}
