#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test the client.
# Uses sudo when not run as root. Nothing is fetched from anywhere but the Debian archive.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
  qt6-base-dev qt6-base-dev-tools libxcb1-dev qt6-pdf-dev qt6-websockets-dev qt6-image-formats-plugins libqt6svg6
  libqpdf-dev libsecret-1-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
  # package
  dpkg-dev file lintian appstream
  # run
  cups-client xdg-utils fuse2fs fuse3 e2fsprogs fonts-dejavu-core
  # tests and benchmarks
  cups cups-filters xvfb xauth xclip xdotool x11-apps x11-utils imagemagick dbus dbus-x11 gnome-keyring libsecret-tools dunst
  openbox poppler-utils qpdf python3 python3-dbus python3-gi python3-aiohttp curl procps coreutils time
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
