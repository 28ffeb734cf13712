#!/bin/sh
# Signs a stand-in installer in place the way its publisher would, and makes
# the variants the signature tests serve beside it:
#   sign-standin.sh EXE SIGNING_DIR "Signer Common Name"
# EXE                        signed by a throwaway "Signer Common Name"
# EXE without .exe + -unsigned.exe       the program as linked
# EXE without .exe + -wrong-signer.exe   signed by "Tenvik Test Impostor"
# The identities are made anew (make-signing-cert.sh) in SIGNING_DIR/right
# and SIGNING_DIR/wrong on every build, so they are never stale.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
exe=$1 dir=$2 name=$3
base=${exe%.exe}
sign() {
  osslsigncode sign -pkcs12 "$1/signer.pfx" -readpass "$1/password.txt" -h sha256 \
    -in "$base-unsigned.exe" -out "$2.tmp" >/dev/null || { rm -f "$2.tmp"; exit 1; }
  mv -f "$2.tmp" "$2"
}
sh "$here/make-signing-cert.sh" "$dir/right" "$name"
sh "$here/make-signing-cert.sh" "$dir/wrong" "Tenvik Test Impostor"
cp -f "$exe" "$base-unsigned.exe"
sign "$dir/right" "$exe"
sign "$dir/wrong" "$base-wrong-signer.exe"
