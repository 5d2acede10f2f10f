#!/usr/bin/env bash
# Builds the two programs and the simulated receiver library in build-pkg/ (or the folder given)
# and makes the Debian package there with CPack: kavusdraa_<version>_<arch>.deb, whose path is
# printed last. Needs the packages of `scripts/setup.sh --demo` (dpkg-dev among them).
# Install it with: apt install ./build-pkg/kavusdraa_<version>_<arch>.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build-pkg}"
shift || true
command -v dpkg-shlibdeps >/dev/null || { echo "dpkg-shlibdeps is missing: bash scripts/setup.sh --demo" >&2; exit 1; }
bash "$root/scripts/build.sh" --programs "$dir" "$@"
rm -f "$dir"/kavusdraa_*.deb
(cd "$dir" && cpack -G DEB >/dev/null 2>&1) || { echo "cpack failed in $dir" >&2; exit 1; }
deb=$(ls "$dir"/kavusdraa_*.deb)
dpkg-deb --field "$deb" Package Version Architecture Installed-Size Depends Recommends
echo "$deb"
