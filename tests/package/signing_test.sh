#!/usr/bin/env bash
# signing_test.sh WINEPREFIX STAGE_DIR ICON ARCH VERSION MANUFACTURER
#
# Packages a copy of the staged release files with a throwaway self-signed
# code-signing certificate, through the same sign.sh and build_msi.sh the
# build uses: every program and the package verify against that certificate
# (SHA-256), the package holds the signed programs, one changed byte in a
# program or one changed table in the package fails verification, the
# signed programs still run under Wine, and without a certificate nothing is
# signed. No time stamp server is named: nothing is fetched.
set -euo pipefail

prefix=$1 stage=$2 icon=$3 arch=$4 version=$5 manufacturer=$6
here=$(cd "$(dirname "$0")" && pwd)
sign=$here/../../packaging/sign.sh
build_msi=$here/../../packaging/build_msi.sh

if [ "${PELLVANE_NETNS:-}" != "1" ]; then
  echo "[  SKIPPED ] signing test: run it inside scripts/netns-run.sh"
  exit 0
fi
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset PELLVANE_SIGN_PKCS12 PELLVANE_SIGN_PASSWORD PELLVANE_SIGN_CERT PELLVANE_SIGN_KEY \
  PELLVANE_SIGN_TIMESTAMP_URL

work=$(mktemp -d "${TMPDIR:-/tmp}/signing-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
log=$work/log
programs=(Pellvane.exe pellvane-cli.exe adapter_sim.exe)

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

verifies() {
  osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$log" 2>&1 \
    && grep -q "Message digest algorithm *: SHA256" "$log"
}

fresh_stage() {
  rm -rf "$work/stage" && mkdir "$work/stage"
  cp "$stage"/{Pellvane.exe,pellvane-cli.exe,adapter_sim.exe,USER-GUIDE.txt} "$work/stage/"
}

openssl req -x509 -newkey rsa:3072 -sha256 -days 2 -nodes -keyout "$work/key.pem" \
  -out "$work/cert.pem" -subj "/CN=Pellvane Test Code Signing" \
  -addext "basicConstraints=critical,CA:FALSE" -addext "keyUsage=critical,digitalSignature" \
  -addext "extendedKeyUsage=critical,codeSigning" >"$log" 2>&1 \
  || { cat "$log"; echo "FAIL: openssl cannot make a certificate"; exit 1; }
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.p12" \
  -passout pass:throwaway >"$log" 2>&1 || { cat "$log"; echo "FAIL: no PKCS#12 file"; exit 1; }

echo "== without a certificate nothing is signed"
fresh_stage
"$sign" "${programs[@]/#/$work/stage/}" || fail "sign.sh failed without a certificate"
for p in "${programs[@]}"; do
  cmp -s "$work/stage/$p" "$stage/$p" || fail "$p changed without a certificate"
done
if PELLVANE_SIGN_CERT=$work/cert.pem "$sign" "$work/stage/Pellvane.exe" 2>"$log"; then
  fail "a certificate without its key was taken as no certificate"
fi
cmp -s "$work/stage/Pellvane.exe" "$stage/Pellvane.exe" || fail "half a configuration changed Pellvane.exe"

echo "== packaged with a PKCS#12 certificate"
fresh_stage
msi=$work/Pellvane-$version-$arch.msi
(
  export PELLVANE_SIGN_PKCS12=$work/cert.p12 PELLVANE_SIGN_PASSWORD=throwaway
  "$sign" "${programs[@]/#/$work/stage/}" \
    && "$build_msi" "$work/stage" "$icon" "$msi" "$version" "$arch" "$manufacturer" \
    && "$sign" "$msi"
) || fail "packaging with the certificate failed"
for p in "${programs[@]}"; do
  verifies "$work/stage/$p" || { cat "$log"; fail "$p does not verify"; }
done
verifies "$msi" || { cat "$log"; fail "the package does not verify"; }
mkdir "$work/extracted"
(cd "$work/extracted" && msiextract "$msi" >/dev/null) || fail "msiextract cannot read the package"
for p in "${programs[@]}"; do
  packed=$(find "$work/extracted" -name "$p" | head -1)
  [ -n "$packed" ] && cmp -s "$packed" "$work/stage/$p" || fail "the package does not hold the signed $p"
done

echo "== packaged with a certificate and key file"
fresh_stage
PELLVANE_SIGN_CERT=$work/cert.pem PELLVANE_SIGN_KEY=$work/key.pem "$sign" "$work/stage/pellvane-cli.exe" \
  || fail "signing with a certificate and key file failed"
verifies "$work/stage/pellvane-cli.exe" || { cat "$log"; fail "pellvane-cli.exe signed with the key file does not verify"; }

echo "== a changed byte in a program, a changed table in the package"
cp "$work/stage/pellvane-cli.exe" "$work/tampered.exe"
offset=$(($(stat -c %s "$work/tampered.exe") / 2))
byte=$(od -An -tu1 -j "$offset" -N1 "$work/tampered.exe" | tr -d ' ')
printf "\\$(printf '%03o' $(((byte + 1) % 256)))" \
  | dd of="$work/tampered.exe" bs=1 seek="$offset" conv=notrunc status=none
cmp -s "$work/tampered.exe" "$work/stage/pellvane-cli.exe" && fail "the byte was not changed"
if verifies "$work/tampered.exe"; then fail "a program with a changed byte still verifies"; fi
cp "$msi" "$work/tampered.msi"
msibuild "$work/tampered.msi" -q "UPDATE Property SET Value = 'Someone Else' WHERE Property = 'Manufacturer'" \
  || fail "msibuild cannot change the Property table"
if verifies "$work/tampered.msi"; then fail "a package with a changed table still verifies"; fi

echo "== the signed programs run under Wine"
fresh_stage
PELLVANE_SIGN_PKCS12=$work/cert.p12 PELLVANE_SIGN_PASSWORD=throwaway "$sign" \
  "${programs[@]/#/$work/stage/}" || fail "signing failed"
for p in pellvane-cli.exe adapter_sim.exe; do
  status=0
  timeout 120 wine "$work/stage/$p" --help >"$log" 2>&1 </dev/null || status=$?
  echo "   signed $p --help -> $status"
  [ $status -eq 0 ] && [ -s "$log" ] || { cat "$log"; fail "the signed $p does not run"; }
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "signing passed"
