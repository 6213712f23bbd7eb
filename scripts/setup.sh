#!/usr/bin/env bash
# Installs everything the build and the tests need on Debian 12. Idempotent and quiet
# when nothing is missing. Needs root (or sudo) only when something has to be installed.
set -euo pipefail

# Another installation may hold the package locks; wait for it rather than fail.
lock_wait_seconds=600

as_root() {
  if [ "$(id -u)" = 0 ]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$@"
  else
    echo "setup: root is needed to install packages, and sudo is not available." >&2
    echo "setup: as root, run:  $(cd "$(dirname "$0")" && pwd)/setup.sh" >&2
    exit 1
  fi
}

apt_get() {
  as_root env DEBIAN_FRONTEND=noninteractive \
    apt-get -o DPkg::Lock::Timeout="$lock_wait_seconds" "$@" 2> >(grep -v '^debconf: ' >&2)
}

# apt-get update takes the list lock without waiting for it.
apt_update() {
  local deadline=$((SECONDS + lock_wait_seconds))
  until apt_get "$@" update -qq; do
    [ $SECONDS -lt $deadline ] || return 1
    echo "setup: package lists busy, retrying" >&2
    sleep 5
  done
}

packages=(
  cmake make g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64
  binutils-mingw-w64-x86-64 googletest
  wine wine32 wine64 xvfb x11-apps imagemagick osslsigncode openssl
  clang-14 lld libclang-rt-14-dev locales
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  apt_update
  apt_get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The UI Automation client interfaces arrived in mingw-w64 12; Debian 12 ships 10. The
# architecture-independent header and import-library packages of the next Debian release work
# with these compilers, so fetch just those from the machine's own mirror.
header_packages=(mingw-w64-common mingw-w64-i686-dev mingw-w64-x86-64-dev)
outdated=()
for p in "${header_packages[@]}"; do
  version=$(dpkg-query -W -f='${Version}' "$p" 2>/dev/null || true)
  dpkg --compare-versions "${version:-0}" ge 12 || outdated+=("$p")
done
if [ ${#outdated[@]} -gt 0 ]; then
  mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' | awk '$2 == "bookworm" { print $1; exit }')
  [ -n "$mirror" ] || { echo "setup: no Debian mirror found in the apt configuration" >&2; exit 1; }
  echo "setup: fetching mingw-w64 12 headers"
  work=$(mktemp -d)
  trap 'as_root rm -rf "$work"' EXIT
  mkdir -p "$work/lists/partial" "$work/archives/partial"
  echo "deb $mirror trixie main" > "$work/trixie.list"
  apt_opts=(-o Dir::Etc::SourceList="$work/trixie.list" -o Dir::Etc::SourceParts=/dev/null
    -o Dir::State::Lists="$work/lists" -o Dir::Cache::Archives="$work/archives"
    -o APT::Architectures=amd64)
  # apt fetches as its own unprivileged user, which must be able to write there.
  as_root chown -R _apt "$work" 2>/dev/null || true
  apt_update "${apt_opts[@]}"
  (cd "$work" && as_root apt-get "${apt_opts[@]}" download -qq "${header_packages[@]}")
  apt_get install -y -qq --no-install-recommends "$work"/*.deb >/dev/null
fi

# Wine takes the user's language from the C library's locale named by LANG, so the tests'
# languages must exist as generated locales.
test_locales=(de_DE fr_FR ja_JP el_GR)
available=$(locale -a)
ungenerated=()
for l in "${test_locales[@]}"; do
  grep -qx "$l.utf8" <<<"$available" || ungenerated+=("$l")
done
if [ ${#ungenerated[@]} -gt 0 ]; then
  echo "setup: generating the locales ${ungenerated[*]}"
  for l in "${ungenerated[@]}"; do
    as_root sed -i "s/^# *\($l\.UTF-8 UTF-8\)\$/\1/" /etc/locale.gen
  done
  as_root locale-gen >/dev/null
fi
