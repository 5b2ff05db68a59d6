# SPDX-License-Identifier: GPL-3.0-or-later
# Stage sourced by scripts/test.sh: ThreadSanitizer on the tests that cross the
# GUI and worker threads (blocking queued calls, distNum, isPortOpen, the
# synchronous Modbus calls, the upgrade signals, the window's faults; the
# broker gateway's publisher beside the worker and a subscriber's thread). Only
# those test programs are built. tsan-qt.supp lists reports whose whole stack
# lies inside Qt's own uninstrumented libraries; see docs/reliability.md.
# A name below that matches no test source, or a run that does not run every
# one of them, fails the stage: a renamed test must not drop out silently.
tsan_dir=${ZN84_TSAN_BUILD:-build-tsan}
tsan_names=(tst_worker tst_command_exchange tst_modbus_exchange tst_upgrade_transfer tst_upgrade_panel
            tst_window_spine tst_fault_unplug tst_fault_upgrade tst_fault_answers
            tst_link_loss tst_port_scanner tst_window_link tst_publish)
tsan_tests="^($(IFS='|'; echo "${tsan_names[*]}"))\$"
tsan_start=$(date +%s); tsan_cpu=$(cpu_s)
tsan_missing=()
for name in "${tsan_names[@]}"; do
  compgen -G "tests/*/$name.cpp" >/dev/null || tsan_missing+=("$name")
done
# The tests' own code is optimised here like the product's (the other stages
# compile it at -O0). A blocking queued call hands the slot the signal's
# argument array under Qt's own semaphore, which ThreadSanitizer cannot see;
# Qt's inline slot-call template reads that array's return slot, a load that
# optimisation removes. The linker keeps one copy of each such template, and
# a test compiled at -O0 can supply it to the worker's own connections, which
# then read the array where ThreadSanitizer sees no order.
tsan_build() {
  cmake -S "$ROOT" -B "$tsan_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
        -DZN84_SANITIZE=thread -DZN84_BUILD_BENCH=OFF -DZN84_UNITY_LIBRARIES=ON >/dev/null || return 1
  build_showing_warnings "$tsan_dir" -j"$JOBS" --target "${tsan_names[@]}"
}
if [ ${#tsan_missing[@]} -gt 0 ]; then
  echo "tsan: no test named ${tsan_missing[*]}"; failed=$((failed + ${#tsan_missing[@]}))
elif ! tsan_build; then
  echo "tsan: build failed"; failed=$((failed + 1))
else
  echo "tsan: build took $(took "$tsan_start") s, $(( $(cpu_s) - tsan_cpu )) processor s"
  tsan_listed=$(cd "$tsan_dir" && ctest -N -R "$tsan_tests" | sed -n 's/^Total Tests: //p')
  if [ "${tsan_listed:-0}" -ne ${#tsan_names[@]} ]; then
    echo "tsan: ctest knows ${tsan_listed:-0} of the ${#tsan_names[@]} tests named"; failed=$((failed + 1))
  else
    # halt_on_error: a race fails its test; second_deadlock_stack for lock reports.
    start_ctest tsan \
      TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=$ROOT/scripts/test-stages/tsan-qt.supp" \
      -- "$tsan_dir" -R "$tsan_tests"
  fi
fi
