# Sourced by the scripts that run Windows programs: a private Wine prefix per architecture
# inside its build tree, quiet, without the Mono and Gecko installers that cannot be downloaded
# here. select_arch chooses the architecture: i686 (build/, 32-bit Wine) or x86_64 (build-x64/,
# 64-bit Wine, which also runs where 32-bit programs cannot).
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEDEBUG=-all
# A test may add overrides of its own through VELTRIN_DLL_OVERRIDES: Wine takes them from the
# environment it starts with, not from the one a Windows process hands to its child.
WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES${VELTRIN_DLL_OVERRIDES:+;$VELTRIN_DLL_OVERRIDES}"

# select_arch ARCH [BUILD_DIR]: sets build_dir, Wine's prefix (inside it) and Wine's loader.
# VELTRIN_BUILD_DIR (default build/) names the 32-bit tree; the 64-bit one sits beside it with
# the suffix -x64.
select_arch() {
  local root="${VELTRIN_BUILD_DIR:-$repo_root/build}" suffix
  case "$1" in
    i686) suffix= WINEARCH=win32 WINELOADER=/usr/lib/wine/wine ;;
    x86_64) suffix=-x64 WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64 ;;
    *) echo "unknown architecture: $1" >&2; return 1 ;;
  esac
  export WINEARCH WINELOADER
  build_dir="${2:-$root$suffix}"
  export WINEPREFIX="$build_dir/wineprefix"
}

# Runs a Windows program with the selected architecture's loader; /usr/bin/wine would always
# take the 32-bit one.
wine() { "$WINELOADER" "$@"; }

# Says why 32-bit programs cannot run here, or nothing when they can: Wine's 32-bit loader is
# started once, since some kernels refuse 32-bit programs altogether.
why_no_32bit() {
  if [ ! -x /usr/lib/wine/wine ]; then
    echo "32-bit Wine is not installed"
  elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "this machine cannot execute 32-bit programs"
  fi
}

ensure_wine_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    wine wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  # Without a window manager, closing a managed window waits two seconds for one to answer.
  if ! grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    wineserver -w
  fi
}

# Starts a private X server when none is given; sets DISPLAY and xvfb_pid.
start_private_display() {
  xvfb_pid=
  local number
  for number in $(seq 91 140); do
    [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] && continue
    Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do
      [ -e "/tmp/.X11-unix/X$number" ] && break
      sleep 0.1
    done
    if kill -0 "$xvfb_pid" 2>/dev/null; then
      export DISPLAY=":$number"
      return 0
    fi
  done
  echo "no free display for Xvfb" >&2
  return 1
}

# Ends the wineserver of the selected prefix, then the private X server.
stop_private_display() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${xvfb_pid:-}" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
