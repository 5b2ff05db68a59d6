# Stage sourced by scripts/test.sh: ThreadSanitizer on the tests that cross the
# GUI and worker threads (blocking queued calls, distNum, isPortOpen, the
# synchronous Modbus calls, the upgrade signals, the window's faults). Only
# those test programs are built. tsan-qt.supp lists reports whose whole stack
# lies inside Qt's own uninstrumented libraries; see docs/reliability.md.
tsan_dir=${ZN84_TSAN_BUILD:-build-tsan}
tsan_tests='^(tst_worker|tst_command_exchange|tst_modbus_exchange|tst_upgrade_transfer|tst_upgrade_panel|tst_window_spine|tst_fault_unplug|tst_fault_upgrade|tst_fault_answers|tst_link_loss|tst_port_scanner|tst_window_link)$'
tsan_start=$(date +%s)
tsan_targets=()
for src in tests/*/tst_*.cpp; do
  name=$(basename "$src" .cpp)
  [[ $name =~ $tsan_tests ]] && tsan_targets+=("$name")
done
tsan_build() {
  cmake -S "$ROOT" -B "$tsan_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZN84_SANITIZE=thread -DZN84_BUILD_BENCH=OFF >/dev/null || return 1
  cmake --build "$tsan_dir" -j"$JOBS" --target "${tsan_targets[@]}" 2>&1 | grep -E 'warning|error|Error'
  return "${PIPESTATUS[0]}"
}
if tsan_build; then
  # halt_on_error: a race fails its test; second_deadlock_stack for lock reports.
  TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=$ROOT/scripts/test-stages/tsan-qt.supp" \
    run_ctest "$tsan_dir" -R "$tsan_tests"
else
  echo "tsan: build failed"; failed=$((failed + 1))
fi
echo "tsan: ${#tsan_targets[@]} test programs; stage took $(( $(date +%s) - tsan_start )) s"
