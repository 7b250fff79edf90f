#!/usr/bin/env bash
# Installs the mingw-w64 cross toolchain, the tools for FFmpeg's cross build
# and Wine (to run the Windows tests), when missing.
set -euo pipefail

packages=(gcc-mingw-w64-x86-64 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev nasm icoutils wine64 dpkg-dev make cmake xz-utils)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages for the Windows build: ${missing[*]}" >&2
  echo "Run as root, or install them with: sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
