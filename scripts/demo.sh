#!/usr/bin/env bash
# The main job: installs what is needed, builds, and runs the demo.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$root/build"
exec "$root/build/src/app/kavusdraa-cli" demo
