#!/bin/bash
# The certificates of the end-to-end tests' HTTPS sites, made in the folder
# DIR: a test root (kept while it is valid for another day, so that a prefix
# which trusts it keeps doing so) and, signed by it, a certificate for
# localhost (good), one for otherhost.test (wrong name) and one for localhost
# whose validity ended long ago (expired); a self-signed certificate for
# localhost from no trusted root (untrusted); and a certificate for localhost
# from another root that nobody trusts, as an office's own certificate
# authority that was never deployed (unknown-ca). Every certificate's key is
# server.key; root.der is the root for trust_root.exe.
#   test-certs.sh DIR
set -euo pipefail
dir="$(realpath -m "$1")"
mkdir -p "$dir"
cd "$dir"

if ! openssl x509 -in root.pem -noout -checkend 86400 >/dev/null 2>&1; then
    openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -days 3650 \
        -subj "/CN=Norvale Test Root" -addext "basicConstraints=critical,CA:TRUE" \
        -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
fi
openssl x509 -in root.pem -outform der -out root.der
[ -s server.key ] || openssl genrsa -out server.key 2048 2>/dev/null

# A certificate request for `name`, then one signed by the root.
request() {
    openssl req -new -key server.key -subj "/CN=$1" -out "$2.csr"
}
extensions() {
    printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=digitalSignature,keyEncipherment" \
        "extendedKeyUsage=serverAuth" "subjectAltName=DNS:$1"
}
# sign NAME CERTIFICATE [ROOT]
sign() {
    local root="${3:-root}"
    request "$1" "$2"
    openssl x509 -req -in "$2.csr" -CA "$root.pem" -CAkey "$root.key" \
        -set_serial "0x$(openssl rand -hex 8)" -days 30 -extfile <(extensions "$1") \
        -out "$2.pem" 2>/dev/null
}
sign localhost good
sign otherhost.test wrong-name
openssl req -x509 -newkey rsa:2048 -nodes -keyout unknown-root.key -out unknown-root.pem -days 30 \
    -subj "/CN=Norvale Unknown Root" -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
sign localhost unknown-ca unknown-root
openssl req -x509 -key server.key -subj "/CN=localhost" -days 30 -out untrusted.pem \
    -addext "subjectAltName=DNS:localhost" -addext "extendedKeyUsage=serverAuth"

# openssl x509 has no start date of choice before 3.4; openssl ca has.
rm -rf ca && mkdir ca && : >ca/index.txt
cat >ca/ca.cnf <<CNF
[ca]
default_ca = test
[test]
database = $dir/ca/index.txt
new_certs_dir = $dir/ca
certificate = $dir/root.pem
private_key = $dir/root.key
rand_serial = yes
default_md = sha256
policy = anything
unique_subject = no
[anything]
commonName = supplied
CNF
request localhost expired
openssl ca -batch -notext -config ca/ca.cnf -startdate 20200101000000Z -enddate 20200201000000Z \
    -extfile <(extensions localhost) -in expired.csr -out expired.pem 2>/dev/null
rm -f ./*.csr
