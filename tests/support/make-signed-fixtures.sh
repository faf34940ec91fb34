#!/bin/sh
# Keys, a list and its signature for the tests of signed approved lists,
# made by openssl as a release engineer makes them. Run on the build machine
# for both builds: the Windows tests run under Wine, which runs no Linux
# program, so they find these files made beforehand.
#
#   make-signed-fixtures.sh FOLDER
set -eu
folder=$1
rm -rf "$folder" "$folder.part"
mkdir -p "$folder.part"
cd "$folder.part"

ec_key() { # NAME CURVE
    openssl genpkey -algorithm EC -pkeyopt "ec_paramgen_curve:$2" -out "$1.key" 2>/dev/null
    openssl pkey -in "$1.key" -pubout -out "$1.pub"
}

# Two release keys (an old one and its successor) and one no station trusts.
for name in old new stranger; do
    ec_key "$name" P-256
    openssl pkey -pubin -in "$name.pub" -outform DER | sha256sum | cut -c1-64 > "$name.fingerprint"
done

# What a station must refuse as a trusted key.
ec_key p384 P-384
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out rsa.key 2>/dev/null
openssl pkey -in rsa.key -pubout -out rsa.pub
openssl rsa -in rsa.key -RSAPublicKey_out -out rsa-pkcs1.pub 2>/dev/null
openssl genpkey -algorithm ED25519 -out ed25519.key
openssl pkey -in ed25519.key -pubout -out ed25519.pub
openssl pkey -pubin -in new.pub -ec_conv_form compressed -out compressed.pub
openssl pkey -pubin -in new.pub -ec_conv_form hybrid -out hybrid.pub
openssl pkey -pubin -in new.pub -ec_param_enc explicit -out explicit.pub
# The key's DER, which the tests change byte by byte.
openssl pkey -pubin -in new.pub -outform DER -out new.der
openssl req -new -x509 -key new.key -subj /CN=release -days 1 -out new.crt 2>/dev/null
printf 'release key: see the wiki\n' > garbage.pub
printf -- '-----BEGIN PUBLIC KEY-----\nMFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE\n-----END PUBLIC KEY-----\n' > cut.pub
printf -- '-----BEGIN DH PARAMETERS-----\nMAYCAQICAQI=\n-----END DH PARAMETERS-----\n' > params.pem

# The list as sha256sum writes it, signed with the new key.
printf '%s  Bin/HUB460.BIN\n%s *Bin/GL.BIN\n' \
    2a5e0c4b1f8d3e6a7b9c0d1e2f3a4b5c6d7e8f9a0b1c2d3e4f5a6b7c8d9e0f1a \
    ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff > approved.txt
# Signed again until r needs no sign byte (half the time), so that the tests
# can put a needless zero in front of it.
tries=0
while openssl dgst -sha256 -sign new.key -out approved.txt.sig approved.txt &&
    [ "$(od -An -tu1 -j3 -N1 approved.txt.sig | tr -d ' ')" -gt 32 ]; do
    tries=$((tries + 1))
    [ "$tries" -lt 64 ] || { echo "no signature with a short r in 64 tries" >&2; exit 1; }
done
[ -s approved.txt.sig ]

# No private key stays beside the tests but the ones they show as refused.
rm old.key new.key stranger.key p384.key ed25519.key
mv rsa.key private.key
cd ..
mv "$folder.part" "$folder"
