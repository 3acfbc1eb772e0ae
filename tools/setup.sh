# Sourced by the tools before they build: makes sure what the build and the
# tests need is there (tools/requirements.sh). As root it runs tools/install.sh
# for whatever is missing; as any other user it names every missing package and
# locale and the command that installs them, and exits. Then build_tree and
# tree_of, and the host probes of tools/host-bits.sh.
. "$(dirname "${BASH_SOURCE[0]}")/requirements.sh"
if ! requirements_missing || ! powershell_installed || ! sshd_installed; then
    if [ "$(id -u)" = 0 ]; then
        "$(dirname "${BASH_SOURCE[0]}")/install.sh"
    elif [ ${#missing_packages[@]} -eq 0 ] && [ ${#missing_locales[@]} -eq 0 ]; then
        : # Without PowerShell or sshd, the tests that need them say they are skipped, and why.
    else
        echo "This machine lacks what the build and the tests need:" >&2
        [ ${#missing_packages[@]} -eq 0 ] || echo "  packages: ${missing_packages[*]}" >&2
        [ ${#missing_locales[@]} -eq 0 ] || echo "  locales: ${missing_locales[*]}" >&2
        echo "Install them as root with: $(dirname "${BASH_SOURCE[0]}")/install.sh" >&2
        exit 1
    fi
fi

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
