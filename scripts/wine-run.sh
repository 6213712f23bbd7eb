#!/usr/bin/env bash
# Runs one Windows program under Wine in the build tree's prefix; CTest's emulator.
# Needs a display for anything that opens a window; ./test.sh provides one.
set -eu
. "$(dirname "$0")/wine-env.sh"
ensure_wine_prefix
exec wine "$@"
