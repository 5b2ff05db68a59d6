# SPDX-License-Identifier: GPL-3.0-or-later
# Stage sourced by scripts/test.sh: the same sources built with Qt 6 and the
# plain test suite run on that build (the benchmarks are left out).
qt6_start=$(date +%s); qt6_cpu=$(cpu_s)
# Built at -O1 without debug information (the tests' own code at -O0), each
# library as one unit: the build is what this stage costs.
if build build-qt6 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -DNDEBUG" \
     -DZN84_QT_MAJOR=6 -DZN84_BUILD_BENCH=OFF -DZN84_TEST_CXX_FLAGS=-O0 -DZN84_UNITY_LIBRARIES=ON; then
  echo "qt6: build took $(took "$qt6_start") s, $(( $(cpu_s) - qt6_cpu )) processor s"
  start_ctest "qt6 suite" -- build-qt6
else
  echo "qt6: build failed"; failed=$((failed + 1))
fi
