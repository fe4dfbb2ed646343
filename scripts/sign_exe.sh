#!/usr/bin/env bash
# sign_exe.sh <exe> <signed exe> <unix time>: signs a Windows program with
# osslsigncode (Authenticode, SHA-256) as the signing time given, so that the
# same key and time give the same bytes again. The key comes from the
# environment, never from the command line:
#   FIX_TAMRIX_SIGN_P12        a PKCS#12 file with the certificate and its key, or
#   FIX_TAMRIX_SIGN_PKCS11     a PKCS#11 module (a token), with
#   FIX_TAMRIX_SIGN_CERT       the certificate's pkcs11: URI and
#   FIX_TAMRIX_SIGN_KEY        the key's pkcs11: URI;
#   FIX_TAMRIX_SIGN_PASS_FILE  the file holding the password or PIN ("-":
#                              standard input), read by osslsigncode itself;
#   FIX_TAMRIX_SIGN_TSA        optional: an RFC 3161 time-stamp server's URL
#                              (a time-stamped signature differs every time).
set -eu
if [ $# -ne 3 ]; then
    echo "usage: $0 <exe> <signed exe> <unix time>" >&2
    exit 2
fi
in=$1 out=$2 time=$3
fail() { echo "sign_exe: $*" >&2; exit 1; }

pass=${FIX_TAMRIX_SIGN_PASS_FILE:-}
[ -n "$pass" ] || fail "FIX_TAMRIX_SIGN_PASS_FILE must name the file holding the password or PIN (- for standard input)"
[ "$pass" = - ] || [ -r "$pass" ] || fail "cannot read the password file $pass"
if [ -n "${FIX_TAMRIX_SIGN_P12:-}" ]; then
    [ -r "$FIX_TAMRIX_SIGN_P12" ] || fail "cannot read the PKCS#12 file $FIX_TAMRIX_SIGN_P12"
    key=(-pkcs12 "$FIX_TAMRIX_SIGN_P12")
elif [ -n "${FIX_TAMRIX_SIGN_PKCS11:-}" ]; then
    [ -n "${FIX_TAMRIX_SIGN_CERT:-}" ] && [ -n "${FIX_TAMRIX_SIGN_KEY:-}" ] ||
        fail "a PKCS#11 token needs FIX_TAMRIX_SIGN_CERT and FIX_TAMRIX_SIGN_KEY (pkcs11: URIs)"
    key=(-pkcs11module "$FIX_TAMRIX_SIGN_PKCS11" -pkcs11cert "$FIX_TAMRIX_SIGN_CERT"
         -key "$FIX_TAMRIX_SIGN_KEY")
else
    fail "no key: set FIX_TAMRIX_SIGN_P12 or FIX_TAMRIX_SIGN_PKCS11"
fi
stamp=()
[ -z "${FIX_TAMRIX_SIGN_TSA:-}" ] || stamp=(-ts "$FIX_TAMRIX_SIGN_TSA")

work=$(mktemp -d "${TMPDIR:-/tmp}/fix_tamrix_sign.XXXXXX")
trap 'rm -rf "$work"' EXIT
rm -f "$out"
if ! osslsigncode sign "${key[@]}" -readpass "$pass" -h sha256 -time "$time" "${stamp[@]}" \
        -in "$in" -out "$out" >"$work/sign.log" 2>&1; then
    cat "$work/sign.log" >&2
    rm -f "$out"
    fail "osslsigncode could not sign $in"
fi
