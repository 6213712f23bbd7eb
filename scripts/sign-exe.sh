#!/usr/bin/env bash
# sign-exe.sh EXE...: signs each exe in place with Authenticode (SHA-256 digest) using the
# certificate the maintainer names in the environment. It is read only now, at package time, so
# neither the password nor the path reaches the build files or the repository.
#   VELTRIN_SIGN_PKCS12         the PKCS#12 file holding the code-signing key and certificate
#   VELTRIN_SIGN_PASSWORD       its password
#   VELTRIN_SIGN_TIMESTAMP_URL  an RFC 3161 timestamp server (optional)
# Any fault ends the script non-zero and says which setting or file it was; an exe is either
# signed or left as it was.
set -euo pipefail

fail() {
  echo "sign-exe: $*" >&2
  exit 1
}

pkcs12=${VELTRIN_SIGN_PKCS12:-}
[ -n "$pkcs12" ] || fail "VELTRIN_SIGN_PKCS12 is not set: it names the certificate to sign with"
if [ ! -f "$pkcs12" ] || [ ! -r "$pkcs12" ]; then
  fail "certificate file not found or unreadable: VELTRIN_SIGN_PKCS12=$pkcs12"
fi
command -v osslsigncode >/dev/null || fail "osslsigncode is missing; scripts/setup.sh installs it"
export VELTRIN_SIGN_PASSWORD=${VELTRIN_SIGN_PASSWORD-}
# -legacy also opens files exported with the older ciphers many Windows tools still use.
openssl pkcs12 -legacy -in "$pkcs12" -noout -passin env:VELTRIN_SIGN_PASSWORD 2>/dev/null ||
  fail "VELTRIN_SIGN_PASSWORD does not open $pkcs12 (wrong password, or not a PKCS#12 file)"

options=(-pkcs12 "$pkcs12" -h sha256)
[ -z "${VELTRIN_SIGN_TIMESTAMP_URL:-}" ] || options+=(-ts "$VELTRIN_SIGN_TIMESTAMP_URL")
# The password travels through a pipe, never on a command line others could list.
[ -z "$VELTRIN_SIGN_PASSWORD" ] || options+=(-readpass /dev/stdin)
for exe in "$@"; do
  signed="$exe.signed"
  printf '%s' "$VELTRIN_SIGN_PASSWORD" | osslsigncode sign "${options[@]}" -in "$exe" -out "$signed" ||
    { rm -f -- "$signed"; fail "signing $exe failed"; }
  mv -- "$signed" "$exe"
  echo "sign-exe: signed $exe"
done
