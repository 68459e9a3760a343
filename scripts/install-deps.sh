#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing.
set -euo pipefail
packages=(cmake ninja-build g++ clang clang-format libclang-rt-14-dev lld ccache libgtest-dev
          libgmock-dev libbenchmark-dev espeak-ng libfreetype-dev libpng-dev fonts-dejavu-core
          fonts-liberation libsdl2-dev libxau-dev xvfb xauth libcairo2-dev
          libosmium2-dev libprotozero-dev zlib1g-dev libbz2-dev libexpat1-dev
          gpsd-clients libx11-dev libxtst-dev openssh-server openssh-client)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
