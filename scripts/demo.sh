#!/usr/bin/env bash
# The main job: installs what building and running the programs needs, builds only the programs
# (no tests, benchmarks or fuzzers), and runs the demo.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh" --demo
bash "$root/scripts/build.sh" --programs "$root/build"
exec "$root/build/src/app/kavusdraa-cli" demo
