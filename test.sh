#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the unit tests and end-to-end scenarios
# under Wine on a private X display, then the native sanitizer replay of the fuzz corpus.
#   ./test.sh                 everything
#   ./test.sh -R unit_filter  only the CTest tests whose names match (arguments go to ctest)
#   ./test.sh --fuzz 300      fuzz each target for 300 seconds instead
# VELTRIN_BUILD_DIR (default build/) chooses the build tree; its Wine prefix lives inside it.
set -euo pipefail
cd "$(dirname "$0")"

scripts/setup.sh

if [ "${1:-}" = "--fuzz" ]; then
  exec scripts/fuzz.sh "${2:-60}"
fi

. scripts/wine-env.sh
cmake --preset mingw-i686 -B "$VELTRIN_BUILD_DIR" >/dev/null
cmake --build "$VELTRIN_BUILD_DIR" -j2 >/dev/null

# A wineserver left from a start without a display spoils every later window.
wineserver -k >/dev/null 2>&1 || true
trap stop_private_display EXIT
start_private_display
ensure_wine_prefix

status=0
ctest --test-dir "$VELTRIN_BUILD_DIR" --output-on-failure --timeout 300 -j2 "$@" || status=$?
if [ $# -eq 0 ] && [ -x scripts/fuzz.sh ]; then
  scripts/fuzz.sh replay || status=$?
fi
exit $status
