#!/usr/bin/env bash
# Installs what is missing, builds everything (the benchmarks are compiled, not
# run) and runs every test under Xvfb: the Qt Test suite, the same suite built
# with AddressSanitizer and UndefinedBehaviorSanitizer, the cross-thread tests
# under ThreadSanitizer, and a short run of each fuzz target.
# ZN84_QUICK=1 runs the plain suite only.
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
bash scripts/install-deps.sh || exit 1
JOBS=$(nproc)
XVFB=(xvfb-run -a -s "-screen 0 1280x1024x24")
passed=0; failed=0

# Runs ctest in a build dir and adds its counts to the totals.
run_ctest() {
  local dir=$1; shift
  local log; log=$(mktemp)
  (cd "$dir" && "${XVFB[@]}" ctest --output-on-failure "$@") 2>&1 | tee "$log"
  local line; line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then failed=$((failed + 1)); rm -f "$log"; return; fi
  local total fail
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  fail=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")
  passed=$((passed + total - fail)); failed=$((failed + fail))
  rm -f "$log"
}

build() {
  local dir=$1; shift
  cmake -S "$ROOT" -B "$dir" "$@" >/dev/null && cmake --build "$dir" -j"$JOBS" 2>&1 | grep -E 'warning|error|Error' ; return "${PIPESTATUS[0]}"
}

echo "== build =="
if ! build build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo; then
  echo "build failed"; echo "tests: 0 passed, 1 failed"; exit 1
fi
echo "== tests =="
run_ctest build-test

if [ "${ZN84_QUICK:-0}" != 1 ]; then
  for stage in scripts/test-stages/*.sh; do
    [ -e "$stage" ] || continue
    echo "== $(basename "$stage" .sh) =="
    # shellcheck source=/dev/null
    source "$stage"
  done
fi

echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
