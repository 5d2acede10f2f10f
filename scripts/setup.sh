#!/usr/bin/env bash
# Installs what the project needs on Debian 12. Idempotent and non-interactive; run as root
# (sudo is used when available otherwise).
#   setup.sh [PACKAGE...]         everything: building, every test, the benchmarks, the pictures
#   setup.sh --demo [PACKAGE...]  only what building and running the two programs needs
#                                 (scripts/demo.sh, scripts/package.sh)
# Packages given as arguments are installed as well.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
demo_only=0
if [ "${1:-}" = "--demo" ]; then demo_only=1; shift; fi

# Building and running the programs.
BUILD_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  dpkg-dev                            # dpkg-shlibdeps: the Debian package's dependencies
  libudev-dev                         # serial port discovery and hot-plug
  qt6-base-dev                        # the desktop windows (and `plot`'s drawing)
  librtlsdr0 libhackrf0               # real receiver libraries, loaded at run time
  xdg-utils shared-mime-info          # the *.kant association of the options window (xdg-mime,
  desktop-file-utils                  # update-mime-database, update-desktop-database) and its tests
)
# The tests, benchmarks, fuzzers and README pictures besides.
PACKAGES=(
  "${BUILD_PACKAGES[@]}"
  git
  clang libclang-rt-14-dev            # libFuzzer and sanitizer runtimes
  libgtest-dev libgmock-dev googletest
  libfftw3-dev                        # benchmark anchor only; the program never links it
  locales                             # the ru_RU.UTF-8 locale used by number-parsing tests
  python3
  chromium                            # the web page's tests (headless Chromium, npm playwright-core)
  nginx-light                         # anchor of the web benchmark; its service is never started
  qt6-qpa-plugins xvfb imagemagick    # offscreen window tests, README pictures
  xdotool                             # README pictures: presses the main window's scan button
  # desktop-file-utils (above) also brings desktop-file-validate: the desktop entry's check
  appstream                           # appstreamcli validate: the metainfo's check
)
# Node and npm for the page test, from Debian unless a node that brings its own npm is installed
# (Debian's npm cannot be installed beside such a node).
if ! command -v npm >/dev/null 2>&1; then PACKAGES+=(nodejs npm); fi
if [ "$demo_only" = 1 ]; then PACKAGES=("${BUILD_PACKAGES[@]}"); fi
PACKAGES+=("$@")                      # extra packages from a caller (scripts/setup-cross.sh)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  $SUDO apt-get update -qq
  # Packages with a system service (nginx) must not start it: the benchmark runs its own.
  no_start=0
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' | $SUDO tee /usr/sbin/policy-rc.d >/dev/null
    $SUDO chmod +x /usr/sbin/policy-rc.d
    no_start=1
    trap '$SUDO rm -f /usr/sbin/policy-rc.d' EXIT  # removed also when the install fails
  fi
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
  if [ "$no_start" = 1 ]; then $SUDO rm -f /usr/sbin/policy-rc.d; trap - EXIT; fi
fi

# The Russian locale: number parsing must not depend on LC_NUMERIC (the tests check it).
if [ "$demo_only" = 0 ] && ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  $SUDO sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
