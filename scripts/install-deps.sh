#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine, when missing.
# Usage: install-deps.sh [extra package...]
set -euo pipefail

packages=(cmake g++ make pkg-config ffmpeg
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  libgtest-dev libbenchmark-dev "$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Run as root, or install them with: sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
