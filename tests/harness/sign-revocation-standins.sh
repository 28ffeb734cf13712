#!/bin/sh
# Signs copies of the unsigned stand-in installer with throwaway identities
# whose certificates name a revocation list, for the revocation tests:
#   sign-revocation-standins.sh UNSIGNED_EXE SIGNING_DIR PORT "Signer Common Name"
# UNSIGNED_EXE is BASE-unsigned.exe (sign-standin.sh); writes beside it
#   BASE-revoked.exe             its certificate is listed in the CA's CRL
#   BASE-not-revoked.exe         same CA and CRL, not listed
#   BASE-revocation-offline.exe  its CRL lies at a loopback port nobody answers
#   BASE-no-common-name.exe      the subject has the name as organisation, no CN
# and SIGNING_DIR/revocation/revoked.crl (DER), which a test serves at
# http://127.0.0.1:PORT/revocation/revoked.crl. Made anew on every build.
set -eu
unsigned=$1 dir=$2/revocation port=$3 name=$4
base=${unsigned%-unsigned.exe}
rm -rf "$dir"
mkdir -p "$dir"
cd "$dir"
quiet() { "$@" >/dev/null 2>&1 || { echo "sign-revocation-standins: $1 failed" >&2; "$@"; exit 1; }; }

quiet openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tenvik Test Revocation CA" \
  -keyout ca.key -out ca.crt \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign
: > index.txt
echo 1000 > crlnumber
cat > ca.cnf <<CNF
[ca]
default_ca = test_ca
[test_ca]
database = index.txt
crlnumber = crlnumber
default_md = sha256
default_crl_days = 2
CNF

# identity NAME SUBJECT CRL_URL
identity() {
  quiet openssl req -new -newkey rsa:2048 -nodes -subj "$2" -keyout "$1.key" -out "$1.csr"
  printf '%s\n' basicConstraints=CA:FALSE keyUsage=critical,digitalSignature extendedKeyUsage=codeSigning \
    "crlDistributionPoints=URI:$3" > "$1.ext"
  quiet openssl x509 -req -in "$1.csr" -CA ca.crt -CAkey ca.key -CAcreateserial -days 1 -extfile "$1.ext" \
    -out "$1.crt"
  quiet openssl pkcs12 -export -inkey "$1.key" -in "$1.crt" -certfile ca.crt -passout pass:tenvik-test \
    -out "$1.pfx"
  printf 'tenvik-test\n' > password.txt
  osslsigncode sign -pkcs12 "$1.pfx" -readpass password.txt -h sha256 -in "$unsigned" -out "$base-$1.exe.tmp" \
    >/dev/null || { rm -f "$base-$1.exe.tmp"; exit 1; }
  mv -f "$base-$1.exe.tmp" "$base-$1.exe"
}
served=http://127.0.0.1:$port/revocation/revoked.crl
identity revoked "/CN=$name" "$served"
identity not-revoked "/CN=$name" "$served"
identity revocation-offline "/CN=$name" "http://127.0.0.1:9/revocation/unreachable.crl"
identity no-common-name "/O=$name" "$served"

quiet openssl ca -config ca.cnf -keyfile ca.key -cert ca.crt -revoke revoked.crt
quiet openssl ca -config ca.cnf -keyfile ca.key -cert ca.crt -gencrl -out revoked.crl.pem
quiet openssl crl -in revoked.crl.pem -outform DER -out revoked.crl
