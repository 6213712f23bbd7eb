#!/usr/bin/env bash
# check-signing.sh ARCH BUILD_DIR: the release package signed with a throwaway certificate
# through the package's own install step, and refused when a signing setting is wrong.
set -uo pipefail
arch=$1 build=$2
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
unset VELTRIN_SIGN_PKCS12 VELTRIN_SIGN_PASSWORD VELTRIN_SIGN_TIMESTAMP_URL

# package NAME [VARIABLE=VALUE...]: what the package target runs, into its own folder.
package() { env "${@:2}" cpack --config "$build/CPackConfig.cmake" -B "$work/$1" >"$work/$1.log" 2>&1; }

cd "$work" || exit 2
printf 'extendedKeyUsage=codeSigning\n' >extensions
{ openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=Throwaway-CA -days 1 -keyout ca.key -out ca.pem &&
  openssl req -newkey rsa:2048 -nodes -subj /CN=Throwaway-Signer -keyout signer.key -out signer.csr &&
  openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 1 \
    -extfile extensions -out signer.pem &&
  openssl pkcs12 -export -inkey signer.key -in signer.pem -passout pass:throwaway -out signer.p12
} 2>/dev/null || exit 2

package signed VELTRIN_SIGN_PKCS12="$work/signer.p12" VELTRIN_SIGN_PASSWORD=throwaway ||
  { cat signed.log; exit 1; }
zip=$(echo signed/*.zip)
cmake -E tar tf "$zip"
cmake -E tar xf "$zip" && cd "$(basename "$zip" .zip)" || exit 1
sha256sum --quiet -c SHA256SUMS || fail "the sums do not match the signed files"
osslsigncode verify -CAfile ../ca.pem -in VeltrinExplorer.exe || fail "signature not accepted"
osslsigncode remove-signature -in VeltrinExplorer.exe -out ../unsigned.exe >/dev/null
cmp ../unsigned.exe "$build/VeltrinExplorer.exe" || fail "unsigned again, it differs from the build"

# The driver starts the exe beside it; Wine's helpers keep no pipe of ours open.
cp "$build/veltrin-driver.exe" . && . "$scripts/wine-env.sh"
select_arch "$arch" "$build" && ensure_wine_prefix
VELTRIN_COMMAND_LINE='' wine veltrin-driver.exe launch 30000 >../launch.log 2>&1 </dev/null &
wine veltrin-driver.exe wait-window 30000 >../caption.txt 2>&1 </dev/null
caption=$(tr -d '\r' <../caption.txt)
[ "$caption" = "Veltrin Explorer" ] || fail "the signed exe shows no dialog: $caption"
wine veltrin-driver.exe press-exit >/dev/null 2>&1 </dev/null
wait $! || fail "signed exe did not end well: $(cat ../launch.log)"
cd "$work" || exit 2

# A wrong setting stops the package, says which, and takes away an earlier zip.
while IFS='|' read -r name pkcs12 password url message; do
  mkdir "$name" && cp "$zip" "$name/"
  package "$name" VELTRIN_SIGN_PKCS12="$pkcs12" VELTRIN_SIGN_PASSWORD="$password" \
    VELTRIN_SIGN_TIMESTAMP_URL="$url" && fail "$name: packaged"
  grep -qF "$message" "$name.log" || fail "$name: no \"$message\" in: $(cat "$name.log")"
  compgen -G "$name/*.zip" >/dev/null && fail "$name: a zip is left"
done <<EOF
missing-certificate|$work/absent.p12|throwaway||certificate file not found
wrong-password|$work/signer.p12|wrong||VELTRIN_SIGN_PASSWORD does not open
timestamp-server-down|$work/signer.p12|throwaway|http://127.0.0.1:9/|VeltrinExplorer.exe failed
password-alone||throwaway||VELTRIN_SIGN_PKCS12 is not set
EOF
echo "$failures failure(s)"
[ "$failures" -eq 0 ]
