#!/usr/bin/env bash
# Runs the web page test in headless Chromium: installs playwright-core (npm, no browser
# download) into the build folder once, then runs page_test.mjs against `kavusdraa-cli serve`.
# Usage: run_page_test.sh <kavusdraa-cli> <build folder> [screenshot.png]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cli="$(realpath "$1")"
build="$(realpath "$2")"
shot="${3:-}"
if [ ! -x /usr/bin/chromium ]; then
  echo "SKIP: /usr/bin/chromium is not installed (scripts/setup.sh installs it)"
  exit 77
fi
deps="$build/web_page_node"
if [ ! -d "$deps/node_modules/playwright-core" ]; then
  mkdir -p "$deps"
  cp "$here/package.json" "$deps/"
  (cd "$deps" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm install --no-audit --no-fund --silent)
fi
NODE_PATH="$deps/node_modules" exec node "$here/page_test.mjs" "$cli" "$deps/node_modules/playwright-core/index.mjs" "$shot"
