#!/usr/bin/env bash
# Installs the Debian 12 packages Tandexa needs to build, test and run, when
# any is missing. Works as root or through sudo.
set -euo pipefail
packages=(cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev
          libcfitsio-dev fitsverify xvfb xauth fonts-liberation2 indi-bin
          # the package: dependencies found by dpkg-shlibdeps, the desktop entry checked
          dpkg-dev desktop-file-utils
          clang-14 libclang-rt-14-dev llvm-14
          # the two-PC window test: X input, the accessibility bus and its client
          xdotool dbus dbus-x11 at-spi2-core python3 python3-gi gir1.2-atspi-2.0 python3-pyatspi
          # the real-PHD2 test: the runtime libraries of the PHD2 build in ../shared/phd2
          libwxgtk3.2-1 libwxbase3.2-1 libopencv-core406 libopencv-imgproc406 libopencv-videoio406
          libcfitsio10 libcurl3-gnutls libnova-0.16-0 libusb-1.0-0 libx11-6)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq "${missing[@]}"
