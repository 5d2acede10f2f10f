#!/usr/bin/env bash
# Installs what CI needs to cross-build for arm64 and run the result under user-mode emulation:
# Debian's aarch64 cross compiler, qemu-user-static, and the arm64 libraries the core links
# (through multiarch), on top of scripts/setup.sh's packages. Idempotent and non-interactive;
# run as root (sudo otherwise).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  $SUDO dpkg --add-architecture arm64
  $SUDO apt-get update -qq
fi
# The cross compiler (cmake/aarch64-linux-gnu.cmake), qemu for the arm64 unit tests, the arm64
# libudev the core links, and googletest's sources, built with the cross compiler.
bash "$root/scripts/setup.sh" g++-aarch64-linux-gnu qemu-user-static libudev-dev:arm64 googletest \
  libstdc++6:arm64  # the arm64 runtime the emulated programs load (with libc6:arm64)
