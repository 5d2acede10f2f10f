#!/usr/bin/env bash
# Runs the web page test in headless Chromium: installs playwright-core (npm, no browser
# download) into the build folder once, then runs page_test.mjs against the program given:
# `kavusdraa-cli` (its `serve`) or `kavusdraa` (the desktop program with --web, its window on
# Qt's offscreen platform, or on the X display KAVU_PAGE_DISPLAY when that is set).
# Usage: run_page_test.sh <kavusdraa-cli | kavusdraa> <build folder> [page.png [window.png]]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="$(realpath "$1")"
build="$(realpath "$2")"
shot="${3:-}"
window_shot="${4:-}"
if [ ! -x /usr/bin/chromium ]; then
  echo "SKIP: /usr/bin/chromium is not installed (scripts/setup.sh installs it)"
  exit 77
fi
deps="$build/web_page_node"
# One installation for every test that uses it, even when they start at the same time.
exec 9>"$build/web_page_node.lock"
flock 9
if [ ! -d "$deps/node_modules/playwright-core" ]; then
  mkdir -p "$deps"
  cp "$here/package.json" "$deps/"
  (cd "$deps" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm install --no-audit --no-fund --silent)
fi
flock -u 9
NODE_PATH="$deps/node_modules" exec node "$here/page_test.mjs" "$program" "$deps/node_modules/playwright-core/index.mjs" \
  "$shot" "$window_shot"
