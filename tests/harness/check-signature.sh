#!/bin/sh
# Checks a signed Setup.exe the way a release engineer would before shipping
# it: the signature verifies, the payload still reads back intact, and a
# stub restamped with another payload loses its old signature and takes a
# new one.
#   check-signature.sh SIGNED_EXE SIGNING_DIR TENVIK_PACK OSSLSIGNCODE
# SIGNING_DIR is what make-signing-cert.sh wrote (ca.crt, signer.pfx, password.txt).
set -eu
exe=$1
keys=$2
pack=$3
osslsigncode=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-signature: $*" >&2; exit 1; }

"$osslsigncode" verify -CAfile "$keys/ca.crt" -in "$exe" >"$work/verify.log" 2>&1 ||
  { cat "$work/verify.log" >&2; fail "the signature of $exe does not verify"; }

"$pack" list --json "$exe" >"$work/list.json" || fail "tenvik-pack list failed on the signed exe"
grep -q '"intact": *true' "$work/list.json" || { cat "$work/list.json" >&2; fail "the signed payload is not intact"; }
grep -q '"launchTarget": *"Sample.App.dll"' "$work/list.json" || fail "the launch target is not Sample.App.dll"

# Restamping a signed stub: the old signature would no longer match, so it
# is dropped with a warning, and the result verifies once signed again.
mkdir -p "$work/app/sub"
printf 'main' >"$work/app/Other.dll"
printf 'more' >"$work/app/sub/data.bin"
"$pack" pack --stub "$exe" --entry Other.dll --runtime desktop+base:6 --output "$work/Restamped.exe" "$work/app" \
  >"$work/pack.log" 2>&1 || { cat "$work/pack.log" >&2; fail "stamping the signed stub failed"; }
grep -qi 'sign' "$work/pack.log" || { cat "$work/pack.log" >&2; fail "no warning that the output must be signed again"; }
if "$osslsigncode" verify -CAfile "$keys/ca.crt" -in "$work/Restamped.exe" >/dev/null 2>&1; then
  fail "the restamped exe still claims a signature"
fi
"$osslsigncode" sign -pkcs12 "$keys/signer.pfx" -readpass "$keys/password.txt" -h sha256 \
  -in "$work/Restamped.exe" -out "$work/Signed.exe" >/dev/null || fail "signing the restamped exe failed"
"$osslsigncode" verify -CAfile "$keys/ca.crt" -in "$work/Signed.exe" >/dev/null 2>&1 ||
  fail "the restamped and re-signed exe does not verify"
"$pack" list --json "$work/Signed.exe" >"$work/list2.json"
grep -q '"launchTarget": *"Other.dll"' "$work/list2.json" || { cat "$work/list2.json" >&2; fail "the restamped payload does not read back"; }
grep -q '"intact": *true' "$work/list2.json" || fail "the restamped payload is not intact"
echo "check-signature: signed, verified, listed, restamped and re-signed"
