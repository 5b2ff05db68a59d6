#!/usr/bin/env bash
# Installs what is missing, builds everything (the benchmarks are compiled, not
# run) and runs every test under Xvfb: the Qt Test suite, the same suite built
# with AddressSanitizer and UndefinedBehaviorSanitizer, the cross-thread tests
# under ThreadSanitizer, and a short run of each fuzz target.
# ZN84_QUICK=1 runs the plain suite only.
#
# Each stage is judged by the exit status of its runner (ctest, the fuzz
# runner); the counts of the last line only report how many test programs
# (and fuzz targets) passed and failed. A stage whose runner failed without
# naming a failed program counts as one failure.
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
bash scripts/install-deps.sh || exit 1
JOBS=$(nproc)
XVFB=(xvfb-run -a -s "-screen 0 1280x1024x24")
passed=0; failed=0
script_start=$(date +%s)

# Runs ctest in a build dir, all of its tests JOBS at a time, and adds its
# counts to the totals. Returns ctest's exit status.
run_ctest() {
  local dir=$1; shift
  local log; log=$(mktemp)
  (cd "$dir" && "${XVFB[@]}" ctest --output-on-failure --no-tests=error -j"$JOBS" "$@") 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  # One line per finished test program: "n/N Test #k: name ....   Passed".
  local ok bad
  ok=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' "$log")
  bad=$(grep -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: ' "$log" | grep -cv ' Passed')
  if [ "$rc" -ne 0 ] && [ "$bad" -eq 0 ]; then bad=1; fi
  passed=$((passed + ok)); failed=$((failed + bad))
  rm -f "$log"
  return "$rc"
}

build() {
  local dir=$1; shift
  cmake -S "$ROOT" -B "$dir" "$@" >/dev/null || return 1
  cmake --build "$dir" -j"$JOBS" 2>&1 | grep -E 'warning|error|Error'
  return "${PIPESTATUS[0]}"
}

# Seconds since `start`, for the stage lines.
took() { echo $(( $(date +%s) - $1 )); }
# Processor seconds (user + system) that the finished child processes used so
# far; the difference over a stage tells its cost apart from the machine's load.
cpu_s() { awk -v hz="$(getconf CLK_TCK)" '{ printf "%d", ($16 + $17) / hz }' "/proc/$$/stat"; }

echo "== build =="
stage_start=$(date +%s); stage_cpu=$(cpu_s)
if ! build build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo; then
  echo "build failed"; echo "tests: 0 passed, 1 failed"; exit 1
fi
echo "build: took $(took "$stage_start") s, $(( $(cpu_s) - stage_cpu )) processor s"
echo "== tests =="
stage_start=$(date +%s); stage_cpu=$(cpu_s)
run_ctest build-test
rc=$?
echo "plain suite: exit $rc, took $(took "$stage_start") s, $(( $(cpu_s) - stage_cpu )) processor s"

if [ "${ZN84_QUICK:-0}" != 1 ]; then
  for stage in scripts/test-stages/*.sh; do
    [ -e "$stage" ] || continue
    echo "== $(basename "$stage" .sh) =="
    # shellcheck source=/dev/null
    source "$stage"
  done
fi

echo "all stages took $(took "$script_start") s, $(cpu_s) processor s"
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
