#!/usr/bin/env bash
# make_signing_key.sh <folder>: makes a throw-away code-signing key in a new
# folder, for tests only: cert.pem (self-signed, so it is also the CA that
# verifies its signatures), key.p12 (PKCS#12 with the key) and pass.txt
# (its password). The caller removes the folder.
set -eu
folder=$1
mkdir -p "$folder"
chmod 700 "$folder"
openssl req -x509 -newkey rsa:2048 -nodes -days 36500 -subj "/CN=fix_tamrix test signer" \
    -addext "basicConstraints=critical,CA:FALSE" -addext "keyUsage=critical,digitalSignature" \
    -addext "extendedKeyUsage=codeSigning" \
    -keyout "$folder/key.pem" -out "$folder/cert.pem" 2>/dev/null
head -c 18 /dev/urandom | base64 > "$folder/pass.txt"
openssl pkcs12 -export -inkey "$folder/key.pem" -in "$folder/cert.pem" -out "$folder/key.p12" \
    -passout "file:$folder/pass.txt"
rm -f "$folder/key.pem"
