#!/usr/bin/env bash
# Installs what CI needs to cross-build for arm64 and run the result under user-mode emulation:
# Debian's aarch64 cross compiler, qemu-user-static, and the arm64 libraries the core links
# (through multiarch). Idempotent and non-interactive; run as root (sudo otherwise).
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

PACKAGES=(
  g++-aarch64-linux-gnu               # the cross compiler (cmake/aarch64-linux-gnu.cmake)
  qemu-user-static                    # runs the arm64 unit tests on an x86 machine
  libudev-dev:arm64                   # serial port discovery, linked by the core
  googletest                          # sources built with the cross compiler for the tests
)

if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  $SUDO dpkg --add-architecture arm64
  $SUDO apt-get update -qq
fi
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
