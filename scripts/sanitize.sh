#!/usr/bin/env bash
# Builds and runs, under a sanitizer, the tests CI runs there: the `unit` and `web` labels and
# the whole-scan failure paths (label e2e, ScanFailures.*).
#   scripts/sanitize.sh thread  [DIR [STEP]]   ThreadSanitizer (build-tsan/ by default)
#   scripts/sanitize.sh address [DIR [STEP]]   AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/)
# STEP: build, test, or both (the default); CI builds ahead in the background.
# Any report fails the run: ThreadSanitizer and UndefinedBehaviorSanitizer halt on the first one.
# The builds use clang, which compiles them about twice as fast as GCC here, as unity builds
# (cmake/KavuTargets.cmake) with line tables for debug information (a report's stack names file
# and line), without windows or benchmarks, and build only the executables those tests run. Expects the packages of scripts/setup.sh.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
kind="${1:-}"
# The address build also configures the libFuzzer targets (KAVU_FUZZ: the same sanitizers plus
# coverage), so that CI's fuzzing builds them from these objects instead of compiling again.
case "$kind" in
  thread) options=(-DKAVU_TSAN=ON); dir="${2:-$root/build-tsan}" ;;
  address) options=(-DKAVU_SANITIZE=ON -DKAVU_FUZZ=ON); dir="${2:-$root/build-asan}" ;;
  *) echo "usage: $0 thread|address [build folder [build|test]]" >&2; exit 2 ;;
esac
step="${3:-both}"

# The test executables of the unit and web labels (one per tests/ folder), the whole scans', and
# kavusdraa-cli, which the page test and the whole scans start.
targets=(platform_tests shell_tests dsp_tests results_tests measure_tests board_tests receivers_tests scan_tests sim_tests updater_tests
  web_tests e2e_tests kavusdraa-cli)

configure() {
  CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVU_DEBUG_INFO=lines \
    "${options[@]}" \
    -DKAVU_GUI=OFF -DKAVU_BENCH=OFF -DKAVU_WERROR=ON -DCMAKE_UNITY_BUILD="$1" >/dev/null
}
build() {
  configure ON
  if ! cmake --build "$dir" -j "$(nproc)" --target "${targets[@]}"; then
    # A file-local name defined in two files of one target breaks only unity builds: say which
    # list takes the file, and build file by file so that the tests still run.
    echo "sanitize.sh: the unity build failed. If the error is a \"redefinition\" in a Unity/ file," \
      "add the file to KAVU_UNITY_ALONE in cmake/KavuTargets.cmake. Building file by file." >&2
    configure OFF
    cmake --build "$dir" -j "$(nproc)" --target "${targets[@]}"
  fi
}
if [ "$step" != test ]; then build; fi
if [ "$step" = build ]; then exit 0; fi

# Our own code is never suppressed: the file lists third-party code only (see its comments).
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$root/.ci/tsan.supp"
export ASAN_OPTIONS="detect_leaks=1 abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1"
cd "$dir"
# desktop_files (label unit) checks data files and an installed tree: no code of ours runs.
ctest --output-on-failure -j "$(nproc)" -L '^(unit|web)$' -E '^desktop_files$' --timeout 900
ctest --output-on-failure -j 1 -L '^e2e$' -R '^ScanFailures\.' --timeout 900
