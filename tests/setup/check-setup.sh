#!/usr/bin/env bash
# The set-up's decisions without root or a network: stand-ins for apt-get, dpkg, dpkg-query,
# locale and sudo answer as a machine would whose package lists are locked by another
# installation, whose mirror is caught mid-sync, or whose 32-bit Wine cannot be installed, and
# as fresh Debian 12 and 13 machines would.
set -u
setup="$(cd "$(dirname "$0")/../.." && pwd)/scripts/setup.sh"
stubs=$(mktemp -d)
trap 'rm -rf "$stubs"' EXIT
stub() { printf '#!/usr/bin/env bash\n%s\n' "$2" >"$stubs/$1" && chmod +x "$stubs/$1"; }
stub sudo 'exec "$@"'
# Each case's release.
echo 'VERSION_CODENAME=$CODENAME' >"$stubs/os-release"
stub locale 'printf "%s.utf8\n" de_DE fr_FR ja_JP el_GR'
stub dpkg '[ "$1" = --compare-versions ] && exec /usr/bin/dpkg "$@"; echo i386'
# MISSING holds patterns of package names. The headers' version is HEADERS until the cross
# compilers bring their release's (COMPILER_HEADERS) or the next release's are installed.
stub dpkg-query 'for m in $MISSING; do [[ ${*: -1} == $m ]] && exit 1; done
if [[ $2 != *Version* ]]; then echo "install ok installed"
elif grep -q "^install.*mingw-w64-common.deb" "$CALLS"; then echo 12.0.0-5
elif grep -q "^install.*g++-mingw-w64" "$CALLS"; then echo "$COMPILER_HEADERS"
else echo "$HEADERS"; fi'
# Logs its verb and package names, one call a line, and fails as the case says.
stub apt-get 'words=()
while [ $# -gt 0 ]; do case $1 in -o | --format) shift 2 ;; -*) shift ;; *) words+=("${1##*/}") && shift ;; esac; done
echo "${words[*]}" >>"$CALLS"
case ${words[0]} in
update) if [ "$(grep -c ^update "$CALLS")" -le "$LOCKED" ]; then
    echo "E: Could not get lock /var/lib/apt/lists/lock. It is held by process 4242 (apt-get)" >&2 && exit 100
  elif [ -n "$MIRROR_FAULT" ]; then
    echo "E: Failed to fetch http://mirror.test/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?" >&2 && exit 100
  fi ;;
install) for w in "${words[@]:1}"; do [[ $REFUSED == all || $w == "$REFUSED" ]] && echo "E: held broken packages" >&2 && exit 100; done ;;
indextargets) printf "http://mirror.test/%s\n" "security $CODENAME-security" "debian $CODENAME" ;;
download) for w in "${words[@]:1}"; do touch "$w.deb"; done ;;
esac; true'

updates3="update;update;update"
headers="mingw-w64-common mingw-w64-i686-dev mingw-w64-x86-64-dev"
# name | environment | exit code | a line it must print | apt-get's calls
cases=(
  "lock held twice|LOCKED=2|0|setup: another package installation is running (process 4242 (apt-get)); waiting for it|$updates3;install cmake"
  "mirror mid-sync|MIRROR_FAULT=1 HEADERS=10.0.0-3|0|setup: some package lists could not be downloaded (apt's reason is above); going on with the lists apt has|$updates3;install cmake;indextargets;$updates3;download $headers;install ${headers// /.deb }.deb"
  "wine32 refused|MISSING='cmake wine32' REFUSED=wine32|0|setup: 32-bit Wine could not be installed (apt's reason is above); the 64-bit build is used|update;install cmake wine32;install cmake"
  "all refused|MISSING='cmake wine32' REFUSED=all|1|setup: installing cmake failed (apt's reason is above)|update;install cmake wine32;install cmake"
  "fresh Debian 13|MISSING='g++-mingw-w64-* clang* libclang* lld*' HEADERS= CODENAME=trixie|0|setup: installing g++-mingw-w64-i686 g++-mingw-w64-x86-64 clang lld libclang-rt-dev|update;install g++-mingw-w64-i686 g++-mingw-w64-x86-64 clang lld libclang-rt-dev"
  "fresh Debian 12|MISSING='g++-mingw-w64-*' HEADERS= COMPILER_HEADERS=10.0.0-3|0|setup: fetching mingw-w64 12 headers from trixie|update;install g++-mingw-w64-i686 g++-mingw-w64-x86-64;indextargets;update;download $headers;install ${headers// /.deb }.deb"
  "unknown release|HEADERS=10.0.0-3 CODENAME=noble|1|setup: fetching mingw-w64 12 headers: no Debian release known to follow this machine's release 'noble'|update;install cmake"
)
passed=0 failed=0
for row in "${cases[@]}"; do
  IFS='|' read -r name environment status line calls <<<"$row"
  : >"$stubs/calls"
  output=$(eval "env PATH=$stubs:\$PATH CALLS=$stubs/calls VELTRIN_SETUP_PAUSE=0 LOCKED=0 \
    MIRROR_FAULT= MISSING=cmake REFUSED= HEADERS=12.0.0-2 COMPILER_HEADERS=12.0.0-5 \
    CODENAME=bookworm VELTRIN_OS_RELEASE=$stubs/os-release $environment bash $setup" 2>&1)
  got_status=$? got_calls=$(paste -sd ';' "$stubs/calls")
  if [ "$got_status" = "$status" ] && grep -qFx "$line" <<<"$output" && [ "$got_calls" = "$calls" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAILED %s: exit %s, apt-get calls %s\n%s\n' "$name" "$got_status" "$got_calls" "$output"
  fi
done
echo "setup: $passed passed, $failed failed"
[ "$failed" = 0 ]
