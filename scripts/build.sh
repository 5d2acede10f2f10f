#!/usr/bin/env bash
# Configures and builds the project with CMake and Ninja.
#   build.sh [DIR] [CMAKE_ARG...]             everything, tests and benchmarks too, in DIR (build/);
#       a new DIR is configured to compile file by file (CI configures its build/ as a unity build
#       first, which an existing DIR keeps)
#   build.sh --programs [DIR] [CMAKE_ARG...]  only the two programs and the simulated receiver
#       library (what the demo and the package need). A new DIR is configured without tests and
#       benchmarks (their packages need not be installed), as a unity build, which compiles
#       several sources as one and takes about half the time, and with line tables for debug
#       information (file and line of every frame of a stack); an existing DIR keeps its options.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
programs=0
if [ "${1:-}" = "--programs" ]; then programs=1; shift; fi
dir="${1:-$root/build}"
shift || true
if [ "$programs" = 0 ]; then
  options=()
  [ -f "$dir/CMakeCache.txt" ] || options=(-DCMAKE_UNITY_BUILD=OFF)
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVU_TESTS=ON -DKAVU_BENCH=ON \
    "${options[@]}" "$@" >/dev/null
  exec cmake --build "$dir" -j "$(nproc)"
fi
options=()
[ -f "$dir/CMakeCache.txt" ] || options=(-DKAVU_TESTS=OFF -DKAVU_BENCH=OFF -DCMAKE_UNITY_BUILD=ON -DKAVU_DEBUG_INFO=lines)
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" "$@" >/dev/null
targets=(kavusdraa-cli kavu_simrtlsdr)
grep -q '^KAVU_GUI:BOOL=OFF' "$dir/CMakeCache.txt" || targets+=(kavusdraa)  # windows built
if ! cmake --build "$dir" -j "$(nproc)" --target "${targets[@]}"; then
  # Two files of one batch defining the same file-local name break only the unity build
  # (KAVU_UNITY_ALONE in cmake/KavuTargets.cmake lists those known); the program still builds file by file.
  grep -q '^CMAKE_UNITY_BUILD:[A-Z]*=ON' "$dir/CMakeCache.txt" || exit 1
  echo "build.sh: the unity build failed (above); building file by file instead" >&2
  cmake "$dir" -DCMAKE_UNITY_BUILD=OFF >/dev/null
  cmake --build "$dir" -j "$(nproc)" --target "${targets[@]}"
fi
