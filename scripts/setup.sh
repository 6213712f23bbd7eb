#!/usr/bin/env bash
# Installs everything the build and the tests need on Debian 12. Idempotent and quiet
# when nothing is missing. Needs root (or sudo) only when something has to be installed.
set -euo pipefail

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

packages=(
  cmake make g++-mingw-w64-i686 binutils-mingw-w64-i686 googletest
  wine wine32 wine64 xvfb x11-apps imagemagick
  clang-14 libclang-rt-14-dev
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
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The UI Automation client interfaces arrived in mingw-w64 12; Debian 12 ships 10. The
# architecture-independent header packages of the next Debian release work with this
# compiler, so fetch just those two from the machine's own mirror.
if ! grep -q 'IUIAutomationItemContainerPattern' /usr/share/mingw-w64/include/uiautomationclient.h 2>/dev/null; then
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
  as_root apt-get "${apt_opts[@]}" update -qq
  (cd "$work" && as_root apt-get "${apt_opts[@]}" download -qq mingw-w64-common mingw-w64-i686-dev)
  as_root dpkg -i --force-depends "$work"/mingw-w64-common_*.deb "$work"/mingw-w64-i686-dev_*.deb >/dev/null
fi
