#!/usr/bin/env bash
# Cross-builds the core, kavusdraa-cli and the unit tests for arm64 (build-arm64/ or the folder
# given as the first argument) and runs unit tests under qemu-user-static, with a scan on the
# virtual bench on request (see below). Further arguments run only the unit tests, through CTest with those
# arguments (e.g. -R to choose). Installs what it needs through scripts/setup-cross.sh (not when
# KAVU_SETUP_DONE=1: CI has installed everything once).
# KAVU_ARM64_SUITES="dsp results ..." builds and runs only those folders of unit tests (CI's
# subset, see .ci/run); unset, all of them. KAVU_ARM64_STEP=build only builds, =test only runs
# what an earlier build made (CI builds ahead in the background).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build-arm64}"
shift || true
if [ "${KAVU_SETUP_DONE:-0}" != 1 ]; then bash "$root/scripts/setup-cross.sh"; fi
toolchain="$root/cmake/aarch64-linux-gnu.cmake"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

step="${KAVU_ARM64_STEP:-both}"
all_suites=(platform shell dsp results measure board receivers scan sim updater web)
read -r -a suites <<< "${KAVU_ARM64_SUITES:-${all_suites[*]}}"

if [ "$step" != test ]; then
# googletest from Debian's packaged sources, built once with the cross compiler.
if [ ! -f "$out/gtest/lib/libgtest.a" ]; then
  cmake -S /usr/src/googletest -B "$out/gtest-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$out/gtest" "${launcher[@]}" >/dev/null
  cmake --build "$out/gtest-build" -j "$(nproc)"
  cmake --install "$out/gtest-build" >/dev/null
fi

targets=(kavusdraa-cli kavu_simrtlsdr)
for s in "${suites[@]}"; do targets+=("${s}_tests"); done
# A unity build (cmake/KavuTargets.cmake) compiles in about half the time; line tables are
# all the debug information a failure's stack needs.
cmake -S "$root" -B "$out/core" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVU_DEBUG_INFO=lines \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$out/gtest" -DCMAKE_UNITY_BUILD=ON \
  -DKAVU_BENCH=OFF -DKAVU_GUI=OFF -DKAVU_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build "$out/core" -j "$(nproc)" --target "${targets[@]}"
aarch64-linux-gnu-readelf -h "$out/core/src/app/kavusdraa-cli" | grep -q AArch64 || { echo "not an arm64 build"; exit 1; }
fi
if [ "$step" = build ]; then exit 0; fi
if [ "$#" -gt 0 ]; then
  (cd "$out/core" && GTEST_DEATH_TEST_STYLE=fast \
    ctest --output-on-failure -j "$(nproc)" -L unit --timeout 900 "$@")
  exit
fi
# Without arguments: the unit tests under qemu-user, folder by folder, two tests at a time (each
# test is its own process), each bounded so that an emulated test that stops making progress fails
# the step rather than hanging it. The programs run on Debian's arm64 runtime libraries
# (multiarch, as on an arm64 machine; the toolchain's emulator has no -L): with the cross
# compiler's own copy of the C library a thread never starts under this qemu.
# Death checks fork instead of re-running the test binary (qemu-user cannot start a foreign binary
# by itself), chosen through GTEST_DEATH_TEST_STYLE.
# Every folder of unit tests but two runs: the app tests start kavusdraa-cli as a child process
# and the page test starts it from a browser, and a foreign (arm64) child cannot be started
# without a binfmt_misc registration, which CI's container does not have; the command-line tool
# itself is run under qemu below instead. The e2e scans are real-time and stay on the host.
# Left out by name, with the reason:
skip=(
  web_page_chromium  # the browser starts the arm64 kavusdraa-cli as a child (see above)
)
skip_re="$(IFS='|'; echo "${skip[*]:-}")"
for s in "${suites[@]}"; do
  (cd "$out/core" && GTEST_DEATH_TEST_STYLE=fast \
    ctest --test-dir "tests/$s" --output-on-failure -j "$(nproc)" --timeout 600 ${skip_re:+-E "$skip_re"})
done

# A whole scan on the virtual bench under qemu: the emulated board on a pseudo-terminal and the
# arm64 simulated receiver library (dlopen from the arm64 tree's simlib/), in a throw-away home.
scan_home="$(mktemp -d)"
trap 'rm -rf "$scan_home"' EXIT
HOME="$scan_home" XDG_CONFIG_HOME="$scan_home/cfg" timeout 600 qemu-aarch64-static \
  "$out/core/src/app/kavusdraa-cli" scan --sim 25-30j --range "140-141 0.5" --sim-set seed=5 \
  > "$scan_home/scan.txt"
cat "$scan_home/scan.txt"
# Three points (140, 140.5, 141 MHz), each near 25 - j30 ohm.
awk -F'\t' 'NF == 4 && $1 ~ /^[0-9.]+$/ { n++; if ($2 < 24.5 || $2 > 25.5 || $3 < -30.5 || $3 > -29.5) bad++ }
  END { if (n != 3 || bad) { print "arm64 bench scan: " n " points, " bad + 0 " off"; exit 1 } }' "$scan_home/scan.txt"
echo "arm64 bench scan: 3 points near 25-30j"
