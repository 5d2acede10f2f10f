#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$root/build"
cd "$root/build"
ctest --output-on-failure -j "$(nproc)" --timeout 900 -LE e2e
# Whole scans on the virtual bench.
ctest --output-on-failure -j "$(nproc)" --timeout 900 -L e2e
