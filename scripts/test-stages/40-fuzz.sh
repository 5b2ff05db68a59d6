# SPDX-License-Identifier: GPL-3.0-or-later
# Stage sourced by scripts/test.sh: a short run of every fuzz target
# (libFuzzer with ASan and UBSan, seeds from fuzz/corpus), as many at once as
# there are cores. The stage is judged by the fuzz runner's exit status; each
# target counts as one test. ZN84_FUZZ_SECONDS sets the run per target
# (default 10: the gate replays every seed and explores a little, within the
# command's ten minutes; the search itself is for longer runs:
# fuzz/run.sh TARGET SECONDS).
fuzz_start=$(date +%s); fuzz_cpu=$(cpu_s)
# Its output is printed after the other stages' (it runs while they finish).
fuzz_log=$LOGS/fuzz.log
ZN84_FUZZ_JOBS=$JOBS ZN84_FUZZ_BUILD=${ZN84_FUZZ_BUILD:-$ROOT/build-fuzz} \
  bash fuzz/run.sh all "${ZN84_FUZZ_SECONDS:-10}" >"$fuzz_log" 2>&1
fuzz_rc=$?
fuzz_ok=$(grep -c '^fuzz: .* ok:' "$fuzz_log")
fuzz_bad=$(grep -cE '^fuzz: (.* FAILED|build failed|no target)' "$fuzz_log")
if [ "$fuzz_rc" -ne 0 ] && [ "$fuzz_bad" -eq 0 ]; then fuzz_bad=1; fi
if [ "$fuzz_rc" -eq 0 ] && [ "$fuzz_ok" -eq 0 ]; then fuzz_bad=1; fi   # ran nothing
passed=$((passed + fuzz_ok)); failed=$((failed + fuzz_bad))
echo "fuzz: exit $fuzz_rc, $fuzz_ok targets passed, $fuzz_bad failed; stage took $(took "$fuzz_start") s, $(( $(cpu_s) - fuzz_cpu )) processor s" >>"$fuzz_log"
echo "fuzz: done"
