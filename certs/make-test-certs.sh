#!/bin/sh
# Regenerates the TEST credentials in this folder: a test certificate authority, a server
# certificate signed by it and a self-signed server certificate. None of these keys is secret;
# never deploy them. Run from anywhere: sh certs/make-test-certs.sh
set -eu
cd "$(dirname "$0")"
days=7300
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

openssl req -x509 -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
  -keyout test-ca.key -out test-ca.pem -days "$days" -sha256 \
  -subj "/O=nycl TEST CREDENTIALS/OU=not for production/CN=nycl Test CA (TEST ONLY)" \
  -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -addext "subjectKeyIdentifier=hash"

cat > "$tmp/server.ext" <<EXT
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=IP:127.0.0.1,DNS:localhost
authorityKeyIdentifier=keyid
subjectKeyIdentifier=hash
EXT
openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
  -keyout test-server.key -out "$tmp/server.csr" \
  -subj "/O=nycl TEST CREDENTIALS/OU=not for production/CN=localhost (TEST ONLY)"
openssl x509 -req -in "$tmp/server.csr" -CA test-ca.pem -CAkey test-ca.key \
  -CAcreateserial -CAserial "$tmp/ca.srl" -out test-server.pem -days "$days" -sha256 \
  -extfile "$tmp/server.ext"

openssl req -x509 -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
  -keyout test-selfsigned.key -out test-selfsigned.pem -days "$days" -sha256 \
  -subj "/O=nycl TEST CREDENTIALS/OU=not for production/CN=localhost self-signed (TEST ONLY)" \
  -addext "basicConstraints=critical,CA:FALSE" \
  -addext "subjectAltName=IP:127.0.0.1,DNS:localhost"

openssl verify -CAfile test-ca.pem test-server.pem
