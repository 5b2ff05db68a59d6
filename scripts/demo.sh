#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, starts a simulated sensor and opens the
# viewer. In the viewer: open the port list, choose the simulated sensor
# (listed after the system's ports), keep 115200 and press the connect button.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZN84_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target zn84-viewer zn84-sim
RATE="${1:-100}"
# The simulator prints its device and link once it is up; the viewer lists
# the link (the folder is private to this user, see README).
SIM_OUT=$(mktemp)
./build/zn84-sim --rate "$RATE" >"$SIM_OUT" &
SIM=$!
trap 'kill $SIM 2>/dev/null || true; rm -f "$SIM_OUT"' EXIT
until grep -q '^rate:' "$SIM_OUT"; do
  kill -0 "$SIM" 2>/dev/null || { echo "the simulator did not start" >&2; exit 1; }
  sleep 0.1
done
cat "$SIM_OUT"
cd build
if [ -z "${DISPLAY:-}" ]; then
  echo "No display: running the viewer under Xvfb" >&2
  xvfb-run -a -s "-screen 0 1280x1024x24" ./zn84-viewer
else
  ./zn84-viewer
fi
