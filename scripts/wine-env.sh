# Sourced by the scripts that run Windows programs: a private 32-bit Wine prefix inside the
# build tree, quiet, without the Mono and Gecko installers that cannot be downloaded here.
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export VELTRIN_BUILD_DIR="${VELTRIN_BUILD_DIR:-$repo_root/build}"
export WINEPREFIX="$VELTRIN_BUILD_DIR/wineprefix"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

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

stop_private_display() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${xvfb_pid:-}" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
