#!/usr/bin/env bash
# Installs what is missing, builds, and runs build/VeltrinExplorer.exe under Wine with the given
# switches. With DISPLAY set the dialog appears there and the program's exit code is returned.
# Without DISPLAY it runs on a private Xvfb, saves build/screenshot.png, presses "Exit" and
# prints the exit code.
set -euo pipefail
cd "$(dirname "$0")"

scripts/setup.sh
. scripts/wine-env.sh
cmake --preset mingw-i686 -B "$VELTRIN_BUILD_DIR" >/dev/null
cmake --build "$VELTRIN_BUILD_DIR" -j2 --target VeltrinExplorer veltrin-driver >/dev/null

if [ -n "${DISPLAY:-}" ]; then
  ensure_wine_prefix
  exec wine "$VELTRIN_BUILD_DIR/VeltrinExplorer.exe" "$@"
fi

wineserver -k >/dev/null 2>&1 || true
trap stop_private_display EXIT
start_private_display
ensure_wine_prefix

wine "$VELTRIN_BUILD_DIR/VeltrinExplorer.exe" "$@" &
program=$!
if wine "$VELTRIN_BUILD_DIR/veltrin-driver.exe" wait-window 30000; then
  sleep 1
  xwd -root -silent | convert xwd:- "$VELTRIN_BUILD_DIR/screenshot.png"
  echo "screenshot: $VELTRIN_BUILD_DIR/screenshot.png"
  wine "$VELTRIN_BUILD_DIR/veltrin-driver.exe" press-exit
fi
status=0
wait "$program" || status=$?
echo "exit code: $status"
