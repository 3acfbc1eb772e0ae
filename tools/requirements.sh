# Sourced by tools/setup.sh and tools/install.sh: what the build and the tests
# need, in one place. requirements_missing fills missing_packages (Debian
# package names) and missing_locales (from tools/test-locales: the locales the
# tests run programs under; Wine takes a process's code pages from its locale,
# and a locale that is not generated silently gives the default ones).

# What shows a requirement is there, and the packages that bring it. A
# command the tools run is looked for on PATH, as they will look for it; what
# only tools/install.sh uses as root is probed as a package (dpkg:PACKAGE),
# since a user's PATH need not hold root's folders (Debian's default PATH for
# users has no /usr/sbin, where locale-gen is). A path must exist.
requirement_table=(
    "i686-w64-mingw32-g++-posix|g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686"
    "x86_64-w64-mingw32-g++-posix|g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64"
    "cmake|cmake"
    "make|make"
    "python3|python3"
    "unzip|unzip"
    # The release (tools/package.sh): the MSI, the signatures, the certificate checks.
    "wixl|wixl"
    "osslsigncode|osslsigncode"
    "openssl|openssl"
    # The fleet's Ansible tasks are run in the PowerShell tests; the full package
    # brings the ansible.windows collection their syntax check resolves.
    "ansible-playbook|ansible"
    # locale-gen, for the locales below.
    "dpkg:locales|locales"
    "/usr/src/googletest/googletest|googletest"
    # The DSC mode parses its desired state with nlohmann-json (header only);
    # its test validates what the exe prints against the manifest's schema.
    "/usr/include/nlohmann/json.hpp|nlohmann-json3-dev"
    "dpkg:python3-jsonschema|python3-jsonschema"
    "wine|wine"
    # The 32-bit loader installs on any host; whether it runs there is
    # probed (wine_runs_32bit in tools/host-bits.sh).
    "dpkg:wine32:i386|wine32:i386"
    # The 64-bit loader: for the 64-bit exe, and for the prefix in which the
    # 32-bit exe runs under WoW64.
    "dpkg:wine64|wine64"
)

test_locales() {
    grep -v '^#' "$(dirname "${BASH_SOURCE[0]}")/test-locales"
}

# Whether the locale $1 (for example ja_JP.UTF-8) is generated; `locale -a`
# spells it ja_JP.utf8.
locale_generated() {
    local spelled=${1%%.*}.utf8
    locale -a 2>/dev/null | grep -qix -e "$1" -e "$spelled"
}

# Whether dpkg has the package $1 installed: `dpkg -s` also succeeds for one
# that was removed and left its configuration files.
package_installed() {
    [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null)" = installed ]
}

requirements_missing() {
    missing_packages=()
    missing_locales=()
    local row probe package
    for row in "${requirement_table[@]}"; do
        probe=${row%%|*}
        if [[ $probe == dpkg:* ]]; then
            package_installed "${probe#dpkg:}" && continue
        elif [[ $probe == /* ]]; then
            [ -e "$probe" ] && continue
        else
            command -v "$probe" >/dev/null 2>&1 && continue
        fi
        for package in ${row#*|}; do
            [[ " ${missing_packages[*]} " == *" $package "* ]] || missing_packages+=("$package")
        done
    done
    for row in $(test_locales); do
        locale_generated "$row" || missing_locales+=("$row")
    done
    [ ${#missing_packages[@]} -eq 0 ] && [ ${#missing_locales[@]} -eq 0 ]
}

# Whether the PowerShell tests have their PowerShell, where they can have one
# (tools/install-powershell.sh needs the .NET SDK).
powershell_installed() {
    command -v pwsh >/dev/null 2>&1 || ! command -v dotnet >/dev/null 2>&1
}

# Whether the remoting tests have their sshd (Debian's openssh-server; each
# test run starts one of its own on 127.0.0.1). Without it they say they are
# skipped, and why; tools/install.sh installs it as root.
sshd_installed() {
    [ -x /usr/sbin/sshd ]
}
