#!/usr/bin/env bash
# The signing step with a throw-away self-signed certificate made here: the module and its package
# are signed, the signatures verify against that certificate, and a changed byte breaks them.
# Arguments: the build folder (with the DLL and the package) and the source folder.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
check() { local what=$1; shift; if "$@"; then echo "ok: $what"; passed=$((passed + 1)); else echo "FAIL: $what"; failed=$((failed + 1)); fi; }

openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 2 -subj "/CN=Brenmark test signing/O=Brenmark" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
cp "$build/TolvarBrenmarkLintrove.dll" "$work/"
msis=("$build"/TolvarBrenmarkLintrove-*.msi)
files=("$work/TolvarBrenmarkLintrove.dll")
if [ -f "${msis[0]}" ]; then
    cp "${msis[0]}" "$work/package.msi"
    files+=("$work/package.msi")
fi
check "unsigned builds carry no signature" bash -c '! osslsigncode verify -in "$0" >/dev/null 2>&1' "${files[0]}"
BRENMARK_SIGN_CERT=$work/cert.pem BRENMARK_SIGN_KEY=$work/key.pem "$root/scripts/sign" "${files[@]}" >/dev/null
for file in "${files[@]}"; do
    name=$(basename "$file")
    check "$name is signed and verifies against the certificate" \
        bash -c 'osslsigncode verify -CAfile "$1" -in "$0" 2>&1 | grep -q "Signature verification: ok"' "$file" "$work/cert.pem"
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
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
