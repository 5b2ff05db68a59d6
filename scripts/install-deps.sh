#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the build, the demo and the tests need.
# Skips apt entirely when everything is already there.
set -euo pipefail
PKGS=(build-essential cmake pkg-config
      qtbase5-dev libqt5serialport5-dev libqt5charts5-dev qttools5-dev qttools5-dev-tools qttranslations5-l10n
      xvfb xauth x11-utils imagemagick
      libmodbus-dev socat libbenchmark-dev
      clang-14 libclang-rt-14-dev procps
      qt6-base-dev qt6-serialport-dev qt6-charts-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n libgl-dev
      dpkg-dev lintian desktop-file-utils appstream
      libfftw3-dev libmosquitto-dev mosquitto openssl
      python3-minimal ccache ninja-build)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${missing[@]}"
fi
