#!/usr/bin/env bash
# tools/package.sh [--sign FILE.pfx [--timestamp URL]] [--from DIR --version X.Y.Z]
#
# Builds both release exes, installs the release (`cmake --install`: the exes,
# the technician's guide and whatever else the install rules name, such as the
# PowerShell module and the fleet scripts) into a staging folder, and writes
# into dist/, each with a SHA-256 sum beside it:
#   Sorvane-<version>.zip    the staged folder, with a sum beside each exe at its top
#   Sorvane-<version>.msi    the same files, installed under Program Files (wixl)
#   Sorvane.<version>.nupkg  the PowerShell module folder (with the exes in it) as
#                            a NuGet package, for a PowerShell repository
# Prints the three paths. --from packs DIR, an install tree made elsewhere, as
# version X.Y.Z instead of building one (DIR itself is left as it is).
#
# With --sign, every .exe, .ps1, .psm1 and .psd1 is signed with osslsigncode
# (Authenticode, SHA-256) before it is packed (the .nupkg holds the signed
# files; NuGet's own package signature is another kind, which it has not), and
# the MSI after it is built.
# The certificate's password is read from SORVANE_SIGN_PASSWORD and handed to
# osslsigncode through a pipe, so it appears in no command line and no output.
# --timestamp URL countersigns each signature at that RFC 3161 server, so the
# signatures stay valid after the certificate expires.
#
# The certificate is checked before anything is built, and the package is made
# in a scratch folder and moved into dist/ only when it is whole: a failure
# leaves dist/ as it was.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-release}
dist=$(realpath -m "${DIST_DIR:-$root/dist}")

fail() {
    echo "package.sh: $*" >&2
    exit 1
}

pfx= timestamp= from= version=
while [ $# -gt 0 ]; do
    case $1 in
    --sign) [ $# -ge 2 ] || fail "--sign needs a .pfx file"; pfx=$2; shift 2 ;;
    --timestamp) [ $# -ge 2 ] || fail "--timestamp needs a URL"; timestamp=$2; shift 2 ;;
    --from) [ $# -ge 2 ] || fail "--from needs a folder"; from=$2; shift 2 ;;
    --version) [ $# -ge 2 ] || fail "--version needs a version"; version=$2; shift 2 ;;
    *) fail "unknown argument $1 (usage: tools/package.sh [--sign FILE.pfx [--timestamp URL]] [--from DIR --version X.Y.Z])" ;;
    esac
done
[ -z "$timestamp" ] || [ -n "$pfx" ] || fail "--timestamp needs --sign"
[ -z "$from" ] || [ -d "$from" ] || fail "no folder $from"
[ -n "$from" ] && [ -n "$version" ] || [ -z "$from$version" ] || fail "--from and --version go together"

. "$root/tools/setup.sh"
for tool in wixl osslsigncode openssl; do
    command -v $tool >/dev/null 2>&1 || fail "$tool is not installed (Debian's $tool package)"
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The signing certificate, checked up front so that a wrong password or a
# certificate that Windows would not accept for code fails in seconds, before
# a build, with a message that says which.
if [ -n "$pfx" ]; then
    [ -f "$pfx" ] || fail "no certificate file $pfx"
    [ -n "${SORVANE_SIGN_PASSWORD+set}" ] || fail "set SORVANE_SIGN_PASSWORD to the password of $pfx"
    pfx=$(realpath "$pfx")
    # Certificates exported from Windows are often encrypted with algorithms
    # that OpenSSL 3 keeps in its legacy provider.
    if ! openssl pkcs12 -in "$pfx" -nokeys -clcerts -passin env:SORVANE_SIGN_PASSWORD \
        -out "$scratch/signer.pem" 2>/dev/null &&
        ! openssl pkcs12 -legacy -in "$pfx" -nokeys -clcerts -passin env:SORVANE_SIGN_PASSWORD \
            -out "$scratch/signer.pem" 2>/dev/null; then
        fail "cannot open $pfx: the password in SORVANE_SIGN_PASSWORD is wrong, or it is not a PKCS#12 (.pfx) file"
    fi
    grep -q "BEGIN CERTIFICATE" "$scratch/signer.pem" || fail "$pfx holds no certificate with its key"
    subject=$(openssl x509 -in "$scratch/signer.pem" -noout -subject -nameopt oneline | sed 's/^subject= *//')
    # AppLocker, WDAC and PowerShell's execution policy accept a signature only
    # from a certificate issued for code signing.
    if ! openssl x509 -in "$scratch/signer.pem" -noout -ext extendedKeyUsage 2>/dev/null |
        grep -q "Code Signing"; then
        fail "the certificate in $pfx ($subject) is not for code signing: its extended key usage does not include Code Signing"
    fi
    openssl x509 -in "$scratch/signer.pem" -noout -checkend 0 >/dev/null ||
        fail "the certificate in $pfx ($subject) has expired"
    # -checkend looks only at the end of the validity period; a signature
    # made before its start is one that Windows does not trust.
    valid_from=$(openssl x509 -in "$scratch/signer.pem" -noout -startdate | sed 's/^notBefore=//')
    [ "$(date -d "$valid_from" +%s)" -le "$(date +%s)" ] ||
        fail "the certificate in $pfx ($subject) is not valid yet: it is valid from $valid_from"
fi

if [ -n "$from" ]; then
    name="Sorvane-$version"
    stage=$scratch/$name
    cp -a "$from" "$stage"
else
    # No tests in these trees: the install rules need only the exes.
    build_tree 64 "$(tree_of "$build" 64)" -DSORVANE_TESTS=OFF >/dev/null
    tree=$(tree_of "$build" 32)
    build_tree 32 "$tree" -DSORVANE_TESTS=OFF \
        "-DSORVANE_OTHER_EXE=$(tree_of "$build" 64)/Sorvane64.exe" >/dev/null
    version=$(cat "$tree/version.txt")
    name="Sorvane-$version"
    stage=$scratch/$name
    cmake --install "$tree" --prefix "$stage" >/dev/null
fi

sign() {
    # -readpass takes the password from a pipe that the shell's own printf
    # fills: it is never an argument of any process.
    osslsigncode sign -pkcs12 "$pfx" -readpass <(printf '%s' "$SORVANE_SIGN_PASSWORD") \
        -h sha256 -n Sorvane ${timestamp:+-ts "$timestamp"} -in "$1" -out "$1.signed" \
        >"$scratch/osslsigncode.log" 2>&1 ||
        fail "signing $(basename "$1") failed${timestamp:+ (timestamp server $timestamp)}: $(grep -v -e '^Succeeded' -e '^Failed' "$scratch/osslsigncode.log" | tail -2 | tr '\n' ' ')"
    mv -f "$1.signed" "$1"
}

if [ -n "$pfx" ]; then
    # Copies of one file (the exes beside the module are the exes at the top)
    # are signed once, so they stay identical: a signature records its time.
    declare -A signed_as=()
    while IFS= read -r -d '' file; do
        digest=$(sha256sum <"$file")
        if [ -n "${signed_as[$digest]:-}" ]; then
            cp "${signed_as[$digest]}" "$file"
        else
            sign "$file"
            signed_as[$digest]=$file
        fi
    done < <(find "$stage" -type f \( -iname '*.exe' -o -iname '*.ps1' -o -iname '*.psm1' \
        -o -iname '*.psd1' \) -print0)
fi

# The module's package: its folder as staged, signed files and exes included,
# so the module installed from a repository finds its exe beside it.
python3 "$root/packaging/powershell/sorvane_nupkg.py" "$stage/PowerShell/Modules/Sorvane/$version" "$version" \
    "$scratch" >/dev/null || fail "the module package could not be made"
nupkg="Sorvane.$version.nupkg"

# The MSI installs the staged tree as it is (before the zip's sums are added).
python3 "$root/packaging/msi/sorvane_wxs.py" "$stage" "$version" "$scratch/Sorvane.wxs"
wixl -a x64 -o "$scratch/$name.msi" "$scratch/Sorvane.wxs" >"$scratch/wixl.log" 2>&1 ||
    fail "wixl failed: $(tail -5 "$scratch/wixl.log")"
[ -z "$pfx" ] || sign "$scratch/$name.msi"

# A technician who carries the zip checks each exe against the sum beside it.
for exe in "$stage"/*.exe; do
    (cd "$stage" && sha256sum "$(basename "$exe")" >"$exe.sha256")
done
(cd "$scratch" && cmake -E tar cf "$name.zip" --format=zip "$name")
for file in "$name.zip" "$name.msi" "$nupkg"; do
    (cd "$scratch" && sha256sum "$file" >"$file.sha256")
done

# Into dist/ only now that every file is whole: each is copied into a folder
# beside dist/'s files and then renamed over, which is atomic.
mkdir -p "$dist"
incoming=$(mktemp -d "$dist/.incoming.XXXXXX")
trap 'rm -rf "$scratch" "$incoming"' EXIT
for file in "$name.zip" "$name.zip.sha256" "$name.msi" "$name.msi.sha256" "$nupkg" "$nupkg.sha256"; do
    cp "$scratch/$file" "$incoming/$file"
done
for file in "$name.zip" "$name.zip.sha256" "$name.msi" "$name.msi.sha256" "$nupkg" "$nupkg.sha256"; do
    mv -f "$incoming/$file" "$dist/$file"
done
if [ -z "$pfx" ]; then
    echo "package.sh: built UNSIGNED (no --sign): AppLocker, WDAC and signed-only script policies will refuse it" >&2
fi
echo "$dist/$name.zip"
echo "$dist/$name.msi"
echo "$dist/$nupkg"
