#!/usr/bin/env bash
# Native sanitizer build of the program's text routines (tests/fuzz), then either
#   scripts/fuzz.sh replay    every committed input and every past finding once, and the
#                             runtime behaviour test: a few seconds
#   scripts/fuzz.sh SECONDS   each target fuzzed for SECONDS; new inputs go to a scratch corpus
#                             in the build tree, crashes to tests/fuzz/regressions/<target>/
#                             so that every replay runs them from then on
# VELTRIN_BUILD_DIR (default build/) chooses the build tree; this build lives in its fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build="${VELTRIN_BUILD_DIR:-$root/build}/fuzz"
targets=(fuzz_command_line fuzz_filter_argument fuzz_initial_file_name)
mode=${1:-replay}

if [ "$mode" != replay ] && ! [[ "$mode" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz.sh replay | SECONDS" >&2
  exit 2
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1

mkdir -p "$build"
if ! { cmake -S tests/fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ &&
       cmake --build "$build" -j2; } >"$build/build.log" 2>&1; then
  cat "$build/build.log" >&2
  echo "fuzz: the native build failed" >&2
  exit 1
fi

inputs_of() {
  find "tests/fuzz/corpus/$1" "tests/fuzz/regressions/$1" -type f ! -name '.*' 2>/dev/null | sort
}

replay() {
  local passed=0 failed=0 target input
  for target in "${targets[@]}"; do
    while IFS= read -r input; do
      if "$build/$target" -timeout=10 "$input" >"$build/replay.log" 2>&1; then
        passed=$((passed + 1))
      else
        failed=$((failed + 1))
        echo "FAILED $target $input" >&2
        tail -n 40 "$build/replay.log" >&2
      fi
    done < <(inputs_of "$target")
  done
  if "$build/runtime_behaviour" >"$build/behaviour.log" 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED runtime behaviour" >&2
    cat "$build/behaviour.log" >&2
  fi
  echo "fuzz replay: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}

fuzz() {
  local seconds=$1 status=0 target scratch log dict stats
  for target in "${targets[@]}"; do
    scratch="$build/corpus/$target"
    log="$build/$target.log"
    mkdir -p "$scratch" "tests/fuzz/regressions/$target"
    dict=()
    [ -f "tests/fuzz/$target.dict" ] && dict=(-dict="tests/fuzz/$target.dict")
    if "$build/$target" -max_total_time="$seconds" -print_final_stats=1 -max_len=4096 \
         -timeout=10 -artifact_prefix="tests/fuzz/regressions/$target/" "${dict[@]}" \
         "$scratch" "tests/fuzz/corpus/$target" >"$log" 2>&1; then
      stats=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -n 1 |
              sed -E 's/.*cov: ([0-9]+) ft: ([0-9]+) corp: ([0-9]+).*/cov \1, ft \2, corpus \3 inputs/')
      echo "$target: $(awk '/stat::average_exec_per_sec/ { print $2 }' "$log") exec/s, $stats"
    else
      status=1
      echo "$target: FAILED, reproducer in tests/fuzz/regressions/$target/, log $log"
      grep -E 'ERROR|SUMMARY|Test unit written' "$log" | head -n 5
    fi
  done
  return $status
}

if [ "$mode" = replay ]; then
  replay
else
  fuzz "$mode"
fi
