#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$root/build"
cd "$root/build"
ctest --output-on-failure -j "$(nproc)" --timeout 900 -LE e2e
# Whole scans on the virtual bench: the accuracy checks sit close to their bounds (a point now and
# then lands just outside; see the open issue), so a failing scan test gets up to two more tries.
# A test that fails three times in a row still fails the run.
ctest --output-on-failure -j "$(nproc)" --timeout 900 -L e2e --repeat until-pass:3
