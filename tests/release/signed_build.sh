#!/bin/bash
# Signs the installer of an already configured build folder with a certificate made here: a
# missing certificate stops the configure, a wrong password stops the build and leaves no
# installer, the right one gives a file whose signature verifies, that differs from the unsigned
# installer by its signature only, and whose build files never saw the password. The signed file
# is copied to <work>/PortivoInstaller.exe for the run under Wine.
# Usage: signed_build.sh <cmake> <build folder> <unsigned installer of the same sources> <work folder>
set -euo pipefail
cmake=$1 folder=$2 unsigned=$3 work=$4
exe="$folder/PortivoInstaller.exe"
rm -rf "$work"
mkdir -p "$work"
fail() { echo "FAILED: $*"; exit 1; }
export PORTIVO_SIGN_PASSWORD="portivo-test-$$-$RANDOM$RANDOM"
export SOURCE_DATE_EPOCH=1700000000
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=Orvik Portivo test signing" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.p12" \
  -passout env:PORTIVO_SIGN_PASSWORD

if "$cmake" "-DPORTIVO_SIGN_PKCS12=$work/missing.p12" "$folder" >"$work/missing.log" 2>&1; then
  fail "the configure went on without the certificate"
fi
# CMake wraps its messages: compare with the line breaks and indents folded to single blanks.
tr -s ' \n' '  ' <"$work/missing.log" | grep -q "certificate file $work/missing.p12 is missing or cannot be read" ||
  { cat "$work/missing.log"; fail "no clear message for a missing certificate"; }

"$cmake" "-DPORTIVO_SIGN_PKCS12=$work/cert.p12" "$folder" >/dev/null
if PORTIVO_SIGN_PASSWORD=wrong "$cmake" --build "$folder" >"$work/wrong.log" 2>&1; then
  fail "the build went on with a wrong password"
fi
grep -q "could not sign with $work/cert.p12" "$work/wrong.log" || { cat "$work/wrong.log"; fail "no clear message"; }
[ ! -e "$exe" ] || fail "an unsigned installer was left after the failed signing"

"$cmake" --build "$folder" -j2 >"$work/build.log" 2>&1 || { tail -30 "$work/build.log"; fail "the signed build failed"; }
left=$(cd "$folder" && ls PortivoInstaller.exe*)
[ "$left" = "PortivoInstaller.exe" ] || fail "files beside the signed installer: $left"
osslsigncode verify -CAfile "$work/cert.pem" -in "$exe" >"$work/verify.log" 2>&1 ||
  { cat "$work/verify.log"; fail "the signature does not verify"; }
grep -q "Signing time: Nov 14 22:13:20 2023 GMT" "$work/verify.log" ||
  { grep -i "time" "$work/verify.log"; fail "SOURCE_DATE_EPOCH was not the signing time"; }
osslsigncode remove-signature -in "$exe" -out "$work/unsigned.exe" >/dev/null
cmp "$unsigned" "$work/unsigned.exe" || fail "signing changed more than the signature"
if grep -rlF "$PORTIVO_SIGN_PASSWORD" "$folder"; then
  fail "the password is in the build files above"
fi
cp "$exe" "$work/PortivoInstaller.exe"
echo "signed installer verifies: $work/PortivoInstaller.exe"
