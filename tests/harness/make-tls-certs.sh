#!/bin/sh
# Makes the throwaway certificates of the loopback TLS servers:
#   make-tls-certs.sh DIR
# DIR/ca.der          the test CA, which only a test prefix is told to trust
# DIR/localhost.pem   localhost (DNS name), issued by that CA
# DIR/expired.pem     localhost, issued by that CA, no longer valid
# DIR/wrong-name.pem  tenvik-elsewhere.test only, issued by that CA
# DIR/vendor.pem      aka.ms, the runtime vendor's download host, issued by that CA
# DIR/untrusted.pem   localhost, issued by a CA nobody trusts
# Each .pem holds the certificate and its key. Existing files are replaced.
set -eu
dir=$1
mkdir -p "$dir"
cd "$dir"
quiet() { "$@" >/dev/null 2>&1 || { echo "make-tls-certs: $1 failed" >&2; "$@"; exit 1; }; }

make_ca() {  # name subject
  quiet openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=$2" -keyout "$1.key" -out "$1.crt" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign
}
issue() {  # name ca dns-name days
  quiet openssl req -new -newkey rsa:2048 -nodes -subj "/CN=$3" -keyout "$1.key" -out "$1.csr"
  printf '%s\n' basicConstraints=CA:FALSE keyUsage=critical,digitalSignature,keyEncipherment \
    extendedKeyUsage=serverAuth "subjectAltName=DNS:$3" > "$1.ext"
  # A negative day count ends the validity before it begins: expired now.
  quiet openssl x509 -req -in "$1.csr" -CA "$2.crt" -CAkey "$2.key" -CAcreateserial -days "$4" \
    -extfile "$1.ext" -out "$1.crt"
  cat "$1.crt" "$1.key" > "$1.pem"
  rm -f "$1.csr" "$1.ext" "$1.crt" "$1.key"
}

make_ca ca "Tenvik Test TLS CA"
make_ca stranger "Tenvik Test Stranger CA"
issue localhost ca localhost 2
issue expired ca localhost -1
issue wrong-name ca tenvik-elsewhere.test 2
issue vendor ca aka.ms 2
issue untrusted stranger localhost 2
quiet openssl x509 -in ca.crt -outform DER -out ca.der
rm -f ca.key ca.crt ca.srl stranger.key stranger.crt stranger.srl
