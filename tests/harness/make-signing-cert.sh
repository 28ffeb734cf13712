#!/bin/sh
# Makes a throwaway code-signing identity for tests: its own CA and a signer
# certificate issued by it, valid for a day, never trusted anywhere else.
#   make-signing-cert.sh DIR "Subject Common Name"
# Writes DIR/ca.crt, DIR/signer.crt, DIR/signer.key, DIR/signer.pfx and
# DIR/password.txt (the .pfx password). Existing files in DIR are replaced.
set -eu
dir=$1
name=$2
mkdir -p "$dir"
cd "$dir"
quiet() { "$@" >/dev/null 2>&1 || { echo "make-signing-cert: $1 failed" >&2; "$@"; exit 1; }; }

quiet openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tenvik Test Signing CA" \
  -keyout ca.key -out ca.crt \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign
quiet openssl req -new -newkey rsa:2048 -nodes -subj "/CN=$name/O=$name" -keyout signer.key -out signer.csr
printf '%s\n' basicConstraints=CA:FALSE keyUsage=critical,digitalSignature extendedKeyUsage=codeSigning > signer.ext
quiet openssl x509 -req -in signer.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 1 -extfile signer.ext -out signer.crt
printf 'tenvik-test\n' > password.txt
quiet openssl pkcs12 -export -inkey signer.key -in signer.crt -certfile ca.crt -passout pass:tenvik-test -out signer.pfx
rm -f signer.csr signer.ext ca.srl
