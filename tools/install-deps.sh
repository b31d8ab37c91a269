#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the benchmarks and the
# install checks need, when any of them is missing. Runs as root (or through
# sudo when available).
set -euo pipefail
packages=(g++ cmake make qt6-base-dev qt6-base-dev-tools libgl-dev fonts-dejavu-core libgtest-dev qt6-charts-dev
          libbenchmark-dev
          nlohmann-json3-dev  # the odds tool writes its JSON with it
          libtbb-dev    # the exact odds and the planner work on all cores
          libqt6svg6    # the SVG plugin that reads the window icon
          librsvg2-bin  # renders the icon's PNG sizes
          dpkg-dev file # dpkg-shlibdeps works out the Debian package's dependencies
          desktop-file-utils appstream man-db lintian shared-mime-info)  # tools/check-install.sh
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
