#!/usr/bin/env bash
# Installs everything the build and the tests need on Debian 12 or 13. Idempotent and quiet
# when nothing is missing. Needs root (or sudo) only when something has to be installed.
# A mirror caught mid-sync costs a minute and a line, not the run: package lists that cannot
# be downloaded are left out after two more tries, and where 32-bit Wine then cannot be
# installed everything else is, for the 64-bit build.
set -euo pipefail

# Another installation may hold the package locks; wait for it rather than fail.
lock_wait_seconds=600
# The unit of every pause: the lock is asked for again after one, a failed download after
# four, then eight (a minute in all). The tests make it 0.
pause_seconds=${VELTRIN_SETUP_PAUSE:-5}

fail() {
  echo "setup: $*" >&2
  exit 1
}

# apt has already printed why.
apt_failed() { fail "$* failed (apt's reason is above)"; }

as_root() {
  if [ "$(id -u)" = 0 ]; then
    "$@"
  else
    sudo "$@"
  fi
}

# apt's messages are read below, so they must not be translated.
apt_get() {
  as_root env DEBIAN_FRONTEND=noninteractive LC_ALL=C \
    apt-get -o DPkg::Lock::Timeout="$lock_wait_seconds" "$@"
}

apt_log=$(mktemp)
work=
cleanup() {
  rm -f "$apt_log"
  [ -z "$work" ] || as_root rm -rf "$work"
}
trap cleanup EXIT

# apt-get update takes the lists lock without waiting for it, and never retries an index that a
# mirror caught mid-sync serves cut short: both exit 100, and only the messages tell them apart.
apt_update() {
  local deadline=$((SECONDS + lock_wait_seconds)) retries=0 holder reported=none
  until apt_get "$@" update -qq 2>"$apt_log"; do
    if grep -q '^E: Could not get lock ' "$apt_log"; then
      if [ $SECONDS -ge $deadline ]; then
        cat "$apt_log" >&2
        fail "another package installation still holds the package lists after" \
          "$((lock_wait_seconds / 60)) minutes; run this again when it has finished"
      fi
      holder=$(sed -n 's/.*It is held by \(process [0-9]* (.*)\)$/\1/p' "$apt_log" | head -n 1)
      if [ "$holder" != "$reported" ]; then
        echo "setup: another package installation is running${holder:+ ($holder)}; waiting for it"
        reported=$holder
      fi
      sleep "$pause_seconds"
    elif [ $retries -lt 2 ]; then
      retries=$((retries + 1))
      echo "setup: the package lists could not all be downloaded;" \
        "trying again in $((pause_seconds * 4 * retries)) s"
      sleep $((pause_seconds * 4 * retries))
    else
      cat "$apt_log" >&2
      echo "setup: some package lists could not be downloaded (apt's reason is above);" \
        "going on with the lists apt has" >&2
      return 0
    fi
  done
}

# Quiet when it works; when it fails, apt's whole account of why.
apt_install() {
  apt_get install -y -qq --no-install-recommends "$@" >"$apt_log" 2>&1 && return 0
  grep -v '^debconf: ' "$apt_log" >&2
  return 1
}

packages=(
  cmake make g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64
  binutils-mingw-w64-x86-64 googletest
  wine wine32 wine64 xvfb x11-apps imagemagick osslsigncode openssl
  clang lld libclang-rt-dev locales
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# The UI Automation client interfaces arrived in mingw-w64 12: Debian 13 ships it with its
# cross compilers, Debian 12 ships 10. The architecture-independent header and import-library
# packages of the next Debian release work with the older compilers, so on an older release they
# come from the machine's own mirror.
header_packages=(mingw-w64-common mingw-w64-i686-dev mingw-w64-x86-64-dev)
outdated_headers() {
  local p version
  for p in "${header_packages[@]}"; do
    version=$(dpkg-query -W -f='${Version}' "$p" 2>/dev/null || true)
    dpkg --compare-versions "${version:-0}" ge 12 || echo "$p"
  done
}
# Debian's releases in order; the tests give an os-release file of their own.
debian_releases=(buster bullseye bookworm trixie forky)
os_release=${VELTRIN_OS_RELEASE:-/etc/os-release}

# Wine takes the user's language from the C library's locale named by LANG, so the tests'
# languages must exist as generated locales.
test_locales=(de_DE fr_FR ja_JP el_GR)
available=$(locale -a)
ungenerated=()
for l in "${test_locales[@]}"; do
  grep -qx "$l.utf8" <<<"$available" || ungenerated+=("$l")
done

if { [ $((${#missing[@]} + ${#ungenerated[@]})) -gt 0 ] || [ -n "$(outdated_headers)" ]; } &&
  [ "$(id -u)" != 0 ] && ! command -v sudo >/dev/null 2>&1; then
  echo "setup: root is needed to install packages, and sudo is not available." >&2
  fail "as root, run:  $(cd "$(dirname "$0")" && pwd)/setup.sh"
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386 || fail "adding the i386 architecture to dpkg failed"
  fi
  apt_update
  # 32-bit Wine alone needs the i386 lists to match the amd64 ones; without it the 64-bit build
  # is built, run and tested, so a list left out costs only that.
  if ! apt_install "${missing[@]}"; then
    others=()
    for p in "${missing[@]}"; do
      [ "$p" = wine32 ] || others+=("$p")
    done
    [ ${#others[@]} -lt ${#missing[@]} ] || apt_failed "installing ${missing[*]}"
    if [ ${#others[@]} -gt 0 ] && ! apt_install "${others[@]}"; then
      apt_failed "installing ${others[*]}"
    fi
    echo "setup: 32-bit Wine could not be installed (apt's reason is above);" \
      "the 64-bit build is used" >&2
  fi
fi

# Judged once the cross compilers are in, which bring their release's headers.
mapfile -t outdated < <(outdated_headers)
if [ ${#outdated[@]} -gt 0 ]; then
  codename=$(. "$os_release" && echo "${VERSION_CODENAME:-}") || true
  successor=
  for i in "${!debian_releases[@]}"; do
    [ "${debian_releases[i]}" != "$codename" ] || successor=${debian_releases[i + 1]:-}
  done
  [ -n "$successor" ] || fail "fetching mingw-w64 12 headers: no Debian release known to follow" \
    "this machine's release '${codename:-unknown}'"
  mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' |
    awk -v release="$codename" '$2 == release { print $1; exit }') || true
  [ -n "$mirror" ] || fail "fetching mingw-w64 12 headers: no Debian mirror of $codename found" \
    "in the apt configuration to fetch ${outdated[*]} from"
  echo "setup: fetching mingw-w64 12 headers from $successor"
  work=$(mktemp -d)
  mkdir -p "$work/lists/partial" "$work/archives/partial"
  echo "deb $mirror $successor main" >"$work/$successor.list"
  apt_opts=(-o Dir::Etc::SourceList="$work/$successor.list" -o Dir::Etc::SourceParts=/dev/null
    -o Dir::State::Lists="$work/lists" -o Dir::Cache::Archives="$work/archives"
    -o APT::Architectures=amd64)
  # apt fetches as its own unprivileged user, which must be able to write there.
  as_root chown -R _apt "$work" 2>/dev/null || true
  apt_update "${apt_opts[@]}"
  (cd "$work" && apt_get "${apt_opts[@]}" download -qq "${header_packages[@]}") ||
    apt_failed "downloading ${header_packages[*]}"
  apt_install "$work"/*.deb || apt_failed "installing ${header_packages[*]}"
  [ -z "$(outdated_headers)" ] ||
    fail "fetching mingw-w64 12 headers: $successor's are older than 12 too"
fi

if [ ${#ungenerated[@]} -gt 0 ]; then
  echo "setup: generating the locales ${ungenerated[*]}"
  for l in "${ungenerated[@]}"; do
    as_root sed -i "s/^# *\($l\.UTF-8 UTF-8\)\$/\1/" /etc/locale.gen ||
      fail "enabling the locale $l in /etc/locale.gen failed"
  done
  as_root locale-gen >/dev/null || fail "generating the locales ${ungenerated[*]} failed"
fi
