#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test. (With KAVU_SETUP_DONE=1 the packages are
# taken as installed: CI installs them once for all its stages.)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ "${KAVU_SETUP_DONE:-0}" != 1 ]; then bash "$root/scripts/setup.sh"; fi
bash "$root/scripts/build.sh" "$root/build"
cd "$root/build"
ctest --output-on-failure -j "$(nproc)" --timeout 900 -LE e2e
# Whole scans on the virtual bench.
ctest --output-on-failure -j "$(nproc)" --timeout 900 -L e2e
