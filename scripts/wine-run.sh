#!/usr/bin/env bash
# Runs one Windows program under Wine in the build tree's prefix; CTest's emulator.
# Needs a display for anything that opens a window; ./test.sh provides one.
set -u
. "$(dirname "$0")/wine-env.sh"
ensure_wine_prefix
# Wine's background processes (rpcss, the desktop) outlive the program and inherit its output;
# were that CTest's pipe, CTest would wait for them. A file lets the test end with its program.
output=$(mktemp)
wine "$@" >"$output" 2>&1 </dev/null
status=$?
cat "$output"
rm -f "$output"
exit $status
