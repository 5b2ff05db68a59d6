# SPDX-License-Identifier: GPL-3.0-or-later
# Stage sourced by scripts/test.sh: the whole test suite built with
# AddressSanitizer and UndefinedBehaviorSanitizer, its tests started in the
# background. It comes first after the plain build: its tests run longest,
# so they start earliest.
# Any UBSan report stops the test (halt_on_error), so it counts as a failure.
# Leak reports are limited to the project: lsan-qt.supp lists only leaks whose
# whole stack lies in a system library that Qt loads (D-Bus); see
# docs/reliability.md. Mesa's software GL driver, which the chart's OpenGL
# curve loads under Xvfb, is preloaded so that it stays mapped at exit: its
# own allocations are then reachable instead of reported from an unloaded,
# unnamed module.
# Built at -O1 with line tables only (what the reports need; the tests' own
# code at -O0), each library as one unit, without the benchmarks.
asan_dir=${ZN84_ASAN_BUILD:-build-asan}
asan_start=$(date +%s); asan_cpu=$(cpu_s)
gl_driver=$(ls /usr/lib/*/dri/swrast_dri.so 2>/dev/null | head -n 1)
if build "$asan_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
     -DZN84_SANITIZE=address,undefined -DZN84_BUILD_BENCH=OFF -DZN84_TEST_CXX_FLAGS=-O0 \
     -DZN84_UNITY_LIBRARIES=ON; then
  echo "asan: build took $(took "$asan_start") s, $(( $(cpu_s) - asan_cpu )) processor s"
  start_ctest asan \
    LD_PRELOAD="$gl_driver" \
    ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:verify_asan_link_order=0" \
    LSAN_OPTIONS="suppressions=$ROOT/scripts/test-stages/lsan-qt.supp:print_suppressions=0" \
    UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
    -- "$asan_dir"
else
  echo "asan: build failed"; failed=$((failed + 1))
fi
