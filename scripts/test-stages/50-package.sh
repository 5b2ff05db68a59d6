# SPDX-License-Identifier: GPL-3.0-or-later
# Stage sourced by scripts/test.sh: the Debian packages built from the tree
# and checked as a distribution would (scripts/check-packages.sh: a Release
# build of the packaged programs only, lintian on every package,
# desktop-file-validate, appstreamcli validate, every program's --version,
# an SPDX identifier in every source). It runs while the earlier stages'
# tests run in the background; each check counts as one test.
package_start=$(date +%s); package_cpu=$(cpu_s)
package_log=$LOGS/package.log
ZN84_PACKAGE_JOBS=$JOBS bash scripts/check-packages.sh "$ROOT/build-package" >"$package_log" 2>&1
package_rc=$?
cat "$package_log"
package_ok=$(grep -c '^package: .* ok$' "$package_log")
package_bad=$(grep -c '^package: .* FAILED$' "$package_log")
if [ "$package_rc" -ne 0 ] && [ "$package_bad" -eq 0 ]; then package_bad=1; fi
if [ "$package_rc" -eq 0 ] && [ "$package_ok" -eq 0 ]; then package_bad=1; fi   # checked nothing
passed=$((passed + package_ok)); failed=$((failed + package_bad))
echo "package: exit $package_rc, $package_ok checks passed, $package_bad failed; stage took $(took "$package_start") s, $(( $(cpu_s) - package_cpu )) processor s"
