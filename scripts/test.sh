#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds everything (the benchmarks are compiled, not
# run) and runs every test under a virtual X server: the Qt Test suite with
# Qt 5 and with Qt 6, the same suite built with AddressSanitizer and
# UndefinedBehaviorSanitizer, the cross-thread tests under ThreadSanitizer, a
# short run of each fuzz target, and the Debian packages' checks.
# ZN84_QUICK=1 runs the plain suite (Qt 5) only.
#
# The test programs mostly wait on the simulated sensor, the builds use every
# core: so the builds run one after the other, and each stage's tests run in
# the background while the next stage builds. Each stage's output is printed
# in order once it has ended.
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
# Every build compiles through ccache, whose cache lies outside the clone
# (ZN84_CCACHE_DIR, by default ~/.cache/zn84-ccache): the command compiles
# again only what changed since its last run on this machine, in whatever
# clone. Paths inside the clone are hashed relative to it (CCACHE_BASEDIR),
# and __FILE__ is written relative to it, so a clone elsewhere reuses the
# same objects; a source that names the clone's path in its code is
# compiled afresh. ZN84_CCACHE=0 compiles everything.
if [ "${ZN84_CCACHE:-1}" != 0 ] && command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_DIR=${ZN84_CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/zn84-ccache}
  export CCACHE_BASEDIR=$ROOT CCACHE_NOHASHDIR=1 CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-10G}
  export CXXFLAGS="${CXXFLAGS:-} -fmacro-prefix-map=$ROOT/="
  ccache --zero-stats >/dev/null
fi
# Ninja, where a build dir is new: with every object in the cache a build is
# mostly the build system's own work (dependency scans, the code generators,
# the links), and Ninja does that in about two thirds of the processor time
# that Make takes. A build dir that exists keeps the generator it was made
# with (CMake reads CMAKE_GENERATOR only for a new one).
if [ -z "${CMAKE_GENERATOR:-}" ] && command -v ninja >/dev/null; then
  export CMAKE_GENERATOR=Ninja
fi
# Test programs spend most of their time waiting for the sensor's answers.
CTEST_JOBS=${ZN84_CTEST_JOBS:-$((2 * JOBS))}
passed=0; failed=0
script_start=$(date +%s)
LOGS=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  rm -rf "$LOGS"
}
trap cleanup EXIT

# One virtual X server for every stage; it tells its display number on a pipe
# once it accepts clients.
mkfifo "$LOGS/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$LOGS/display" 2>"$LOGS/xvfb.log" &
pids+=($!)
read -r display_no <"$LOGS/display"
if [ -z "${display_no:-}" ]; then
  cat "$LOGS/xvfb.log"; echo "no X server"; echo "tests: 0 passed, 1 failed"; exit 1
fi
export DISPLAY=:$display_no
unset XAUTHORITY

# Seconds since `start`, for the stage lines.
took() { echo $(( $(date +%s) - $1 )); }
# Processor seconds (user + system) that the finished child processes used so
# far; the difference over a build tells its cost apart from the machine's load.
cpu_s() { awk -v hz="$(getconf CLK_TCK)" '{ printf "%d", ($16 + $17) / hz }' "/proc/$$/stat"; }

# Runs `cmake --build DIR ARGS...` and shows its warnings and errors. The
# project builds without a warning: each compiler warning counts as one
# failure (the stage's tests still run), as a warning here has meant a real
# fault (a delete through an incomplete type that ran no destructor).
build_showing_warnings() {
  local out rc warnings
  out=$(cmake --build "$@" 2>&1); rc=$?
  grep -E 'warning|error|Error' <<<"$out"
  warnings=$(grep -c 'warning:' <<<"$out")
  if [ "$warnings" -gt 0 ]; then
    echo "build: $warnings compiler warnings"; failed=$((failed + warnings))
  fi
  return "$rc"
}

build() {
  local dir=$1; shift
  cmake -S "$ROOT" -B "$dir" "$@" >/dev/null || return 1
  build_showing_warnings "$dir" -j"$JOBS"
}

# Starts ctest in a build dir in the background (environment as given before
# the dir, e.g. `start_ctest asan env ASAN_OPTIONS=... -- build-asan`), its
# output and exit status kept under the stage's name.
start_ctest() {
  local name=$1; shift
  local envs=()
  while [ "$1" != -- ]; do envs+=("$1"); shift; done
  shift
  local dir=$1; shift
  date +%s >"$LOGS/$name.start"
  (cd "$dir" && env "${envs[@]}" ctest --output-on-failure --no-tests=error -j"$CTEST_JOBS" "$@" \
     >"$LOGS/$name.log" 2>&1; echo $? >"$LOGS/$name.rc"; date +%s >"$LOGS/$name.end") &
  pids+=($!)
  stage_pid[$name]=$!
  stages+=("$name")
  echo "$name: tests started"
}

# Waits for a stage's tests, prints their output and adds their counts to the
# totals (one line per finished program: "n/N Test #k: name ....   Passed").
finish_ctest() {
  local name=$1
  wait "${stage_pid[$name]}"
  echo "== $name: tests =="
  cat "$LOGS/$name.log"
  local rc ok bad
  rc=$(cat "$LOGS/$name.rc" 2>/dev/null || echo 1)
  ok=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' "$LOGS/$name.log")
  bad=$(grep -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: ' "$LOGS/$name.log" | grep -cv ' Passed')
  if [ "$rc" -ne 0 ] && [ "$bad" -eq 0 ]; then bad=1; fi
  passed=$((passed + ok)); failed=$((failed + bad))
  echo "$name: exit $rc, tests took $(( $(cat "$LOGS/$name.end") - $(cat "$LOGS/$name.start") )) s"
}

stages=()
declare -A stage_pid
echo "== build =="
stage_start=$(date +%s); stage_cpu=$(cpu_s)
# Line tables are all a failing test's backtrace needs. The tests' own code
# is compiled without optimisation (they wait on the sensor, not on their
# code), and each library as one unit (ZN84_UNITY_LIBRARIES), which parses
# the headers its files share once; every stage builds this way. The
# ordinary build (the README's, the package's) compiles every file on its own.
if ! build build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
     -DZN84_TEST_CXX_FLAGS=-O0 -DZN84_UNITY_LIBRARIES=ON; then
  echo "build failed"; echo "tests: 0 passed, 1 failed"; exit 1
fi
echo "build: took $(took "$stage_start") s, $(( $(cpu_s) - stage_cpu )) processor s"
start_ctest "plain suite" -- build-test

if [ "${ZN84_QUICK:-0}" != 1 ]; then
  # Each stage file builds in the foreground and starts its tests with
  # start_ctest (or runs them itself, like the fuzz stage).
  for stage in scripts/test-stages/*.sh; do
    [ -e "$stage" ] || continue
    echo "== $(basename "$stage" .sh) =="
    # shellcheck source=/dev/null
    source "$stage"
  done
fi

for name in "${stages[@]}"; do
  finish_ctest "$name"
done
[ -e "$LOGS/fuzz.log" ] && cat "$LOGS/fuzz.log"

[ -n "${CCACHE_DIR:-}" ] && echo "compiler cache: $(ccache --print-stats | awk -F'\t' '$1 ~ /^(direct|preprocessed)_cache_hit$/ { hit += $2 } $1 ~ /^cache_miss$/ { miss = $2 } END { printf "%d hits, %d compiled", hit, miss }')"
echo "all stages took $(took "$script_start") s, $(cpu_s) processor s"
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
