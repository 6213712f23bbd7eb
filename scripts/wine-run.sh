#!/usr/bin/env bash
# CTest's emulator: wine-run.sh ARCH PROGRAM [ARGUMENTS...] runs one Windows program under Wine
# in the prefix of the build tree that holds the program. Needs a display for anything that
# opens a window; ./test.sh provides one.
set -u
. "$(dirname "$0")/wine-env.sh"
select_arch "$1" "$(cd "$(dirname "$2")" && pwd)"
shift
ensure_wine_prefix
# Wine's background processes (rpcss, the desktop) outlive the program and inherit its output;
# were that CTest's pipe, CTest would wait for them. A file lets the test end with its program.
output=$(mktemp)
wine "$@" >"$output" 2>&1 </dev/null
status=$?
cat "$output"
rm -f "$output"
exit $status
