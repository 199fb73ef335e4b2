#!/usr/bin/env bash
# The signing step with a throw-away self-signed certificate made here: the module and its package
# are signed, the signatures verify against that certificate, and a changed byte breaks them; the
# package step signs the module before packing it, and a package holding an unsigned module is
# refused; a time stamp server is required (or the expiry said); an encrypted key's password never
# reaches a command line. Where the build is not the 32-bit one, the packages are made by
# scripts/package --check from that build.
# Arguments: the build folder (with the DLL and the package) and the source folder.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$2" && pwd)
work=$(mktemp -d)
# The package prefixes' servers go first: a server that lingers keeps files open in its prefix.
stop_servers() {
    local prefix server
    for prefix in "$work"/prefix-*; do
        [ -d "$prefix" ] || continue
        for server in /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver32; do
            WINEPREFIX=$prefix "$server" -k 2>/dev/null && WINEPREFIX=$prefix "$server" -w 2>/dev/null || true
        done
    done
}
trap 'stop_servers; rm -rf "$work"' EXIT
passed=0 failed=0
check() { local what=$1; shift; if "$@"; then echo "ok: $what"; passed=$((passed + 1)); else echo "FAIL: $what"; failed=$((failed + 1)); fi; }
sign() { BRENMARK_SIGN_CERT=$work/cert.pem BRENMARK_SIGN_KEY=$work/key.pem BRENMARK_SIGN_NO_TIMESTAMP=1 "$root/scripts/sign" "$@"; }
verifies() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" 2>&1 | grep -q "Signature verification: ok"; }
has_signature() { osslsigncode extract-signature -in "$1" -out "$work/signature.der" >/dev/null 2>&1; }
# The module inside a package, unpacked into the folder given.
packed_module() {
    rm -rf "$2" && mkdir -p "$2" && msiextract -C "$2" "$1" >/dev/null
    find "$2" -name TolvarBrenmarkLintrove.dll -print -quit
}

openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 2 -subj "/CN=Brenmark test signing/O=Brenmark" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
cp "$build/TolvarBrenmarkLintrove.dll" "$work/"
# The package as built (unsigned): the 32-bit one, or one made from this build to look at.
# Packages made here are made from a copy of what scripts/package reads, so that the build's own
# package stays as built for the package test.
mkdir -p "$work/build/generated"
cp "$build/TolvarBrenmarkLintrove.dll" "$build/TolvarBrenmarkLintrove.dll.debug" "$work/build/"
cp "$build/generated/module_version.h" "$work/build/generated/"
package_options=()
msis=("$build"/TolvarBrenmarkLintrove-*.msi)
if [ ! -f "${msis[0]}" ]; then
    package_options=(--check)
    BRENMARK_PACKAGE_PREFIX=$work/prefix-package "$root/scripts/package" --check "$work/build" >/dev/null 2>&1
    msis=("$work"/build/package-check/TolvarBrenmarkLintrove-*-check.msi)
fi
cp "${msis[0]}" "$work/unsigned.msi"
files=("$work/TolvarBrenmarkLintrove.dll")
check "unsigned builds carry no signature" bash -c '! osslsigncode verify -in "$0" >/dev/null 2>&1' "${files[0]}"

# --- A package whose module is unsigned is refused, and stays as it was.
cp "$work/unsigned.msi" "$work/refused.msi"
refusal=$(sign "$work/refused.msi" 2>&1 >/dev/null) && refused=no || refused=yes
check "a package holding an unsigned module is refused" [ "$refused" = yes ]
check "the refusal says the module must be signed before packing" grep -q 'the module in .* is not signed' <<<"$refusal"
check "the refused package is left unsigned" bash -c '! osslsigncode extract-signature -in "$0" -out /dev/null >/dev/null 2>&1' \
    "$work/refused.msi"

# --- The package step with a certificate: the module signed before it is packed, then the package.
BRENMARK_SIGN_CERT=$work/cert.pem BRENMARK_SIGN_KEY=$work/key.pem BRENMARK_SIGN_NO_TIMESTAMP=1 \
    BRENMARK_PACKAGE_PREFIX=$work/prefix-signed "$root/scripts/package" "${package_options[@]}" "$work/build" \
    >"$work/package.txt" 2>&1 || { echo "FAIL: scripts/package with a certificate:"; cat "$work/package.txt"; failed=$((failed + 1)); }
signed_msis=("$work"/build/TolvarBrenmarkLintrove-*.msi "$work"/build/package-check/TolvarBrenmarkLintrove-*-check.msi)
for candidate in "${signed_msis[@]}"; do
    [ -f "$candidate" ] && cp "$candidate" "$work/package.msi"
done
module=$(packed_module "$work/package.msi" "$work/unpacked")
check "the packed module is signed and verifies" verifies "$module"
check "the package is signed and verifies" verifies "$work/package.msi"
check "the DLL it was made from stays unsigned" bash -c '! osslsigncode extract-signature -in "$0" -out /dev/null >/dev/null 2>&1' \
    "$work/build/TolvarBrenmarkLintrove.dll"

# --- The module and a package that holds a signed module.
files+=("$work/package.msi")
sign "${files[@]}" >/dev/null 2>&1
for file in "${files[@]}"; do
    name=$(basename "$file")
    check "$name is signed and verifies against the certificate" verifies "$file"
    check "$name names the signer" bash -c 'osslsigncode verify -CAfile "$1" -in "$0" 2>&1 | grep -q "Brenmark test signing"' \
        "$file" "$work/cert.pem"
done
# One changed byte of the signed code: the signature no longer holds.
cp "$work/TolvarBrenmarkLintrove.dll" "$work/tampered.dll"
python3 -c 'import sys; f = open(sys.argv[1], "r+b"); f.seek(5000); b = f.read(1); f.seek(5000); f.write(bytes([b[0] ^ 0xFF]))' \
    "$work/tampered.dll"
check "a changed byte breaks the signature" \
    bash -c '! osslsigncode verify -CAfile "$1" -in "$0" 2>&1 | grep -q "Signature verification: ok"' "$work/tampered.dll" "$work/cert.pem"
check "signing without a certificate is refused" bash -c '! env -u BRENMARK_SIGN_CERT "$0/scripts/sign" "$1" 2>/dev/null' \
    "$root" "$work/TolvarBrenmarkLintrove.dll"

# --- A time stamp is required, or the expiry said.
cp "$build/TolvarBrenmarkLintrove.dll" "$work/stamp.dll"
expiry=$(openssl x509 -enddate -noout -in "$work/cert.pem" | sed 's/^notAfter=//')
refusal=$(env -u BRENMARK_SIGN_TIMESTAMP_URL BRENMARK_SIGN_CERT="$work/cert.pem" BRENMARK_SIGN_KEY="$work/key.pem" \
    "$root/scripts/sign" "$work/stamp.dll" 2>&1 >/dev/null) && refused=no || refused=yes
check "without a time stamp server signing is refused" [ "$refused" = yes ]
check "the refusal names BRENMARK_SIGN_TIMESTAMP_URL and the day the signature would expire" \
    bash -c 'grep -q BRENMARK_SIGN_TIMESTAMP_URL <<<"$0" && grep -qF "expire with the certificate, on $1" <<<"$0"' "$refusal" "$expiry"
check "the refused file is left unsigned" bash -c '! osslsigncode extract-signature -in "$0" -out /dev/null >/dev/null 2>&1' \
    "$work/stamp.dll"
warning=$(sign "$work/stamp.dll" 2>&1 >/dev/null)
check "signing without a time stamp on purpose says when the signature expires" \
    grep -qF "warning: no time stamp: the signatures expire with the certificate, on $expiry" <<<"$warning"

# --- An encrypted key: its password reaches osslsigncode on its input, never on a command line.
password='not-on-the-command-line-7Qz'
openssl pkey -in "$work/key.pem" -aes256 -passout "pass:$password" -out "$work/encrypted.pem"
printf '%s\n' "$password" >"$work/password.txt"
mkdir -p "$work/bin"
cat >"$work/bin/osslsigncode" <<SH
#!/bin/sh
printf '%s\n' "\$*" >>"$work/command-lines.txt"
exec $(command -v osslsigncode) "\$@"
SH
chmod +x "$work/bin/osslsigncode"
cp "$build/TolvarBrenmarkLintrove.dll" "$work/encrypted.dll"
PATH=$work/bin:$PATH BRENMARK_SIGN_CERT=$work/cert.pem BRENMARK_SIGN_KEY=$work/encrypted.pem BRENMARK_SIGN_NO_TIMESTAMP=1 \
    BRENMARK_SIGN_KEY_PASSWORD_FILE=$work/password.txt "$root/scripts/sign" "$work/encrypted.dll" >/dev/null 2>&1 || true
check "a key with a password signs" verifies "$work/encrypted.dll"
check "the password is on no command line" bash -c '[ -s "$0" ] && ! grep -qF "$1" "$0"' "$work/command-lines.txt" "$password"
check "osslsigncode reads it from its input" grep -q -- '-readpass -' "$work/command-lines.txt"
printf 'wrong\n' >"$work/wrong.txt"
cp "$build/TolvarBrenmarkLintrove.dll" "$work/wrong.dll"
check "a wrong password signs nothing" bash -c '! BRENMARK_SIGN_KEY_PASSWORD_FILE="$3" BRENMARK_SIGN_CERT="$1" BRENMARK_SIGN_KEY="$2" \
    BRENMARK_SIGN_NO_TIMESTAMP=1 "$4/scripts/sign" "$0" >/dev/null 2>&1' \
    "$work/wrong.dll" "$work/cert.pem" "$work/encrypted.pem" "$work/wrong.txt" "$root"
unasked=$(setsid -w env -u BRENMARK_SIGN_KEY_PASSWORD BRENMARK_SIGN_CERT="$work/cert.pem" \
    BRENMARK_SIGN_KEY="$work/encrypted.pem" BRENMARK_SIGN_NO_TIMESTAMP=1 "$root/scripts/sign" "$work/wrong.dll" \
    </dev/null 2>&1 >/dev/null) && refused=no || refused=yes
check "with no terminal to ask and no password file, an encrypted key is refused and the way named" \
    bash -c '[ "$0" = yes ] && grep -q BRENMARK_SIGN_KEY_PASSWORD_FILE <<<"$1"' "$refused" "$unasked"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
