#!/bin/bash
# Certificates for the tests and the demo, made with openssl in DIR:
#   make-cert.sh DIR ca                      a certificate authority: ca.pem, ca.key
#   make-cert.sh DIR NAME SAN [expired]      NAME.pem and NAME.key for the names in SAN
#                                            ("IP:127.0.0.1,DNS:localhost"), signed by DIR's
#                                            authority; "expired" ended in 2021.
set -euo pipefail
dir=$1
name=$2
cd "$dir"
if [ "$name" = ca ]; then
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout ca.key \
        -out ca.pem -days 30 -subj "/CN=Zorv Test Authority $RANDOM" 2>/dev/null
    exit 0
fi
san=$3
[ -f index.txt ] || : > index.txt
[ -f serial ] || echo 1000 > serial
cat > ca.cnf <<CNF
[ca]
default_ca = test
[test]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = any
unique_subject = no
[any]
commonName = supplied
[ext]
subjectAltName = $san
basicConstraints = CA:FALSE
extendedKeyUsage = serverAuth
CNF
openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout "$name.key" \
    -out "$name.csr" -subj "/CN=$name" 2>/dev/null
if [ "${4:-}" = expired ]; then
    dates=(-startdate 20200101000000Z -enddate 20210101000000Z)
else
    dates=(-days 30)
fi
openssl ca -batch -config ca.cnf -cert ca.pem -keyfile ca.key -in "$name.csr" \
    -out "$name.pem" -extensions ext -notext "${dates[@]}" 2>/dev/null
