#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian packages from the tree (a Release build of the packaged
# programs only, no tests, with Debian's hardening flags) and checks them as a
# distribution would: lintian on every package, desktop-file-validate on the
# desktop entry and appstreamcli on the AppStream metadata as installed, every
# program's --version against project(VERSION), the changelog's and the
# metadata's versions against it too, and an SPDX identifier in every source.
#
#   scripts/check-packages.sh [BUILD_DIR]     (default build-package)
#
# One line per check: "package: NAME ok" or "package: NAME FAILED" (with the
# reason before it); exits 1 if any check failed. lintian's findings are
# errors and warnings; an accepted finding needs an override, with its reason,
# in packaging/lintian-overrides (installed in every package, where lintian
# reads it).
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${1:-$ROOT/build-package}
JOBS=${ZN84_PACKAGE_JOBS:-2}
bad=0
result() {   # result NAME STATUS
  if [ "$2" -eq 0 ]; then echo "package: $1 ok"; else echo "package: $1 FAILED"; bad=$((bad + 1)); fi
}

version=$(sed -n 's/^project([a-z0-9]* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no VERSION in project() of CMakeLists.txt"; result version 1; exit 1; }

# Every source carries its licence identifier (scripts/add-spdx.sh adds them).
bash scripts/add-spdx.sh --check | tail -n 20
result spdx "${PIPESTATUS[0]}"

# The packages, with the flags a Debian build uses (lintian checks for their
# hardening); the libraries compiled as one unit each, for speed.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
rm -rf "$BUILD/packages"
out=$( { cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DZN84_BUILD_TESTS=OFF -DZN84_BUILD_BENCH=OFF \
           -DZN84_UNITY_LIBRARIES=ON -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
           -DCPACK_PACKAGE_DIRECTORY="$BUILD/packages" >/dev/null &&
         cmake --build "$BUILD" -j"$JOBS" && (cd "$BUILD" && cpack -G DEB); } 2>&1)
rc=$?
warnings=$(grep -c 'warning:' <<<"$out")
if [ "$rc" -ne 0 ] || [ "$warnings" -gt 0 ]; then
  grep -E 'warning|error|Error' <<<"$out" | head -n 40
  echo "build: exit $rc, $warnings compiler warnings"
  result build 1
  exit 1
fi
result build 0

packages=(zn84-viewer zn84ctl zn84-viewer-simulator)
arch=$(dpkg --print-architecture)
unpacked=$BUILD/packages/unpacked
for p in "${packages[@]}"; do
  deb=$BUILD/packages/${p}_${version}-1_${arch}.deb
  if [ ! -f "$deb" ]; then
    echo "no package $deb"; result "lintian $p" 1; continue
  fi
  dpkg-deb -x "$deb" "$unpacked"
  # Root in CI: lintian's note that it should not run as root is about the
  # machine, not the package.
  findings=$(lintian --no-cfg --fail-on none --display-level '>=warning' "$deb" 2>&1 |
             grep -v 'running with root privileges')
  if [ -n "$findings" ]; then echo "$findings"; result "lintian $p" 1; else result "lintian $p" 0; fi
done

desktop-file-validate "$unpacked/usr/share/applications/zn84-viewer.desktop"
result desktop-file-validate $?
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml
result "appstreamcli validate" $?

# One version: each program's answer, the changelog's top entry and the
# metadata's latest release.
vbad=0
for program in zn84-viewer zn84ctl zn84-sim; do
  answer=$(env -u DISPLAY -u WAYLAND_DISPLAY "$unpacked/usr/bin/$program" --version 2>&1)
  [ "$answer" = "$program $version" ] || { echo "$program --version: \"$answer\", not \"$program $version\""; vbad=1; }
done
changelog=$(zcat "$unpacked/usr/share/doc/zn84-viewer/changelog.Debian.gz" | sed -n '1s/^[^ ]* (\([^)]*\)).*/\1/p')
[ "$changelog" = "$version-1" ] || { echo "changelog's top entry: $changelog, not $version-1"; vbad=1; }
release=$(grep -o '<release version="[^"]*"' "$unpacked"/usr/share/metainfo/*.metainfo.xml | head -n 1 | cut -d'"' -f2)
[ "$release" = "$version" ] || { echo "AppStream release: $release, not $version"; vbad=1; }
result version "$vbad"

[ "$bad" -eq 0 ]
