#!/usr/bin/env bash
# The main job: installs what is needed, builds, and runs the demo.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$root/build"
cli="$root/build/src/app/kavusdraa-cli"
if "$cli" demo --help >/dev/null 2>&1; then
  exec "$cli" demo
fi
# Until whole scans run on the virtual bench, the demo writes a small sample scan file and
# shows it with the command-line tool.
exec "$cli" sample-file "$root/build/demo/SampleScan.kant"
