#!/usr/bin/env bash
# Installs what building, running and testing need, on Debian 12, when it is missing.
set -euo pipefail
packages=(build-essential cmake ninja-build qt6-base-dev qt6-base-dev-tools libqt6serialport6-dev
  libasound2-dev libgl1-mesa-dev xvfb xauth x11-utils poppler-utils fonts-dejavu-core fonts-liberation
  qt6-qpa-plugins qt6-l10n-tools desktop-file-utils appstream dpkg-dev clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
