#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets (clang-14, libFuzzer + ASan + UBSan) and runs one or
# all of them for a while.
#
#   fuzz/run.sh TARGET SECONDS      e.g. fuzz/run.sh fuzz_measurement_parser 3600
#   fuzz/run.sh all SECONDS         every target, one after the other
#   fuzz/run.sh list                the target names
#
# Seeds come from fuzz/corpus/<target> (never written to); what the fuzzer
# finds goes to <build>/corpus/<target>, crashing inputs to <build>/artifacts.
# The build dir is $ZN84_FUZZ_BUILD, by default build-fuzz in the work tree.
# Prints one summary line per target; the exit status is non-zero when a
# target found a fault or could not be built. ZN84_FUZZ_JOBS targets run at
# once (default 1).
set -uo pipefail
FUZZ_DIR=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$FUZZ_DIR")
BUILD=${ZN84_FUZZ_BUILD:-$ROOT/build-fuzz}

if [ $# -lt 1 ]; then
  sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
fi

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S "$FUZZ_DIR" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
fi
out=$(cmake --build "$BUILD" -j"$(nproc)" 2>&1); rc=$?
grep -E 'warning|error|Error' <<<"$out"
if [ $rc -ne 0 ]; then
  echo "fuzz: build failed"; exit 1
fi
mapfile -t TARGETS <"$BUILD/targets.txt"

if [ "$1" = list ]; then
  printf '%s\n' "${TARGETS[@]}"; exit 0
fi
SECONDS_EACH=${2:-60}
if [ "$1" = all ]; then
  WANT=("${TARGETS[@]}")
else
  WANT=("$1")
fi

# Runs one target; its summary line goes to stdout, the status is its verdict.
run_one() {
  local t=$1
  if [ ! -x "$BUILD/$t" ]; then
    echo "fuzz: no target $t (have: ${TARGETS[*]})"; return 1
  fi
  mkdir -p "$BUILD/corpus/$t" "$BUILD/artifacts" "$BUILD/logs"
  local log="$BUILD/logs/$t.log"
  local seeds="$FUZZ_DIR/corpus/$t"
  [ -d "$seeds" ] || seeds=""
  local start; start=$(date +%s)
  # UBSan and ASan findings abort, so libFuzzer saves the input as an artifact.
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    "$BUILD/$t" "$BUILD/corpus/$t" $seeds \
      -max_total_time="$SECONDS_EACH" -print_final_stats=1 \
      -artifact_prefix="$BUILD/artifacts/$t-" >"$log" 2>&1
  local rc=$?
  local took=$(( $(date +%s) - start ))
  local execs cov
  execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2}' | tail -n1)
  cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[0-9]+[a-zA-Z]*' "$log" | tail -n1)
  if [ $rc -eq 0 ]; then
    echo "fuzz: $t ok: ${execs:-?} executions in ${took}s, ${cov:-no coverage line}"
    return 0
  fi
  echo "fuzz: $t FAILED (exit $rc) after ${took}s, log $log"
  grep -E 'ERROR|check failed|runtime error|SUMMARY|Test unit written' "$log" | head -n 20
  return 1
}

JOBS_AT_ONCE=${ZN84_FUZZ_JOBS:-1}
status=0
running=()
for t in "${WANT[@]}"; do
  if [ "$JOBS_AT_ONCE" -le 1 ]; then
    run_one "$t" || status=1
    continue
  fi
  # Keep at most JOBS_AT_ONCE targets running; each one's verdict is its own
  # exit status, collected by its pid.
  while [ ${#running[@]} -ge "$JOBS_AT_ONCE" ]; do
    wait "${running[0]}" || status=1
    running=("${running[@]:1}")
  done
  run_one "$t" &
  running+=($!)
done
for pid in "${running[@]}"; do
  wait "$pid" || status=1
done
exit $status
