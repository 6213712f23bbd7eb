#!/usr/bin/env bash
# Installs what is missing, builds, and runs VeltrinExplorer.exe under Wine with the given
# switches: the 32-bit program where this machine executes 32-bit code, else the 64-bit one.
# The program receives the arguments joined by single blanks, exactly as typed on Windows.
# With DISPLAY set the dialog appears there; without it the program runs on a private Xvfb,
# build/screenshot.png is saved and "Exit" is pressed. Either way the script returns the
# program's exit code, and fails when the program cannot start or shows no dialog in time.
set -euo pipefail
cd "$(dirname "$0")"

dialog_timeout_seconds=30

scripts/setup.sh
. scripts/wine-env.sh

no_32bit=$(why_no_32bit)
if [ -z "$no_32bit" ]; then
  arch=i686
else
  arch=x86_64
  echo "run: $no_32bit; running the 64-bit build"
fi
select_arch "$arch"
cmake --preset "mingw-$arch" -B "$build_dir" >/dev/null
cmake --build "$build_dir" -j2 --target VeltrinExplorer veltrin-driver >/dev/null
echo "run: $arch program $build_dir/VeltrinExplorer.exe"

# A wineserver left from a start without a display spoils every later window.
wineserver -k >/dev/null 2>&1 || true
headless=
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  trap stop_private_display EXIT
  start_private_display
fi
ensure_wine_prefix

driver="$build_dir/veltrin-driver.exe"
VELTRIN_COMMAND_LINE="$*" wine "$driver" launch $((dialog_timeout_seconds * 1000)) &
program=$!

if [ -n "$headless" ]; then
  shown=
  while [ -z "$shown" ] && kill -0 "$program" 2>/dev/null; do
    wine "$driver" wait-window 1000 >/dev/null 2>&1 && shown=1
  done
  if [ -n "$shown" ]; then
    sleep 1
    xwd -root -silent | convert xwd:- "$build_dir/screenshot.png"
    echo "screenshot: $build_dir/screenshot.png"
    wine "$driver" press-exit
  fi
fi
status=0
wait "$program" || status=$?
echo "exit code: $status"
exit "$status"
