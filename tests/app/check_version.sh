#!/usr/bin/env bash
# `--version` of both programs prints "<program> <version>" with the project's version from CMake,
# on standard output, with status 0; the desktop program answers without a display (no window
# system is reachable here, so reaching Qt would fail), and both help texts name the option.
#   check_version.sh VERSION KAVUSDRAA-CLI [KAVUSDRAA]
set -euo pipefail
version="$1"
shift
fail() { echo "FAIL: $*" >&2; exit 1; }
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "the project's version \"$version\" is not N.N.N"
for program in "$@"; do
  name="$(basename "$program")"
  out="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --version 2>/dev/null)" ||
    fail "$name --version exited with status $?"
  [ "$out" = "$name $version" ] || fail "$name --version printed \"$out\", expected \"$name $version\""
  "$program" --help 2>&1 | grep -q -- "--version" || fail "$name --help does not name --version"
done
# The desktop program takes --version among other arguments too, still without a window.
if [ $# -ge 2 ]; then
  out="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$2" --demo --version 2>/dev/null)" ||
    fail "kavusdraa --demo --version exited with status $?"
  [ "$out" = "kavusdraa $version" ] || fail "kavusdraa --demo --version printed \"$out\""
fi
echo "version: $version OK"
