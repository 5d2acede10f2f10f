#!/usr/bin/env bash
# Runs the tests that wait on other threads, processes or the virtual bench again and again on a
# loaded host, to show they do not depend on the host's speed:
#   - the e2e, gui and web labels ROUNDS times (default 10), with both cores kept busy by CPU hogs
#     at the lowest priority the tests do not have (a hog per core, nice 0 like the tests);
#   - the unit label of the arm64 build under qemu-user QEMU_ROUNDS times (default ROUNDS / 2;
#     0 skips it), folder by folder as CI runs it (scripts/cross-arm64.sh builds it first).
# Ends with one summary line, "stress: N passed, N failed", and the failed tests by name; the exit
# status is 1 when any round failed. Tests labelled `long` are named before the rounds start.
# Uses build/ (built by scripts/build.sh when missing) or the folder in $KAVU_BUILD.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
rounds="${1:-10}"
qemu_rounds="${QEMU_ROUNDS:-$((rounds / 2))}"
build="${KAVU_BUILD:-$root/build}"
arm64="${KAVU_ARM64_BUILD:-$root/build-arm64}"
cores="$(nproc)"
log="$(mktemp -d)"

if [ ! -f "$build/CTestTestfile.cmake" ]; then
  bash "$root/scripts/build.sh" "$build" || exit 1
fi

hogs=()
start_hogs() {
  for _ in $(seq "$cores"); do
    sh -c 'while :; do :; done' &
    hogs+=("$!")
  done
}
stop_hogs() {
  for p in "${hogs[@]:-}"; do [ -n "$p" ] && kill "$p" 2>/dev/null; done
  hogs=()
}
# Interrupted or terminated, the script ends (the hogs with it) instead of going on to the next round.
trap 'stop_hogs' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A test that skips itself ("***Skipped": e.g. no real library under qemu) is neither.
failed_re='^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\.{3,} *\*\*\*(Failed|Timeout|Exception|Not Run)'
passed=0
failed=0
failures=()
note_round() {  # $1: what, $2: ctest log
  local what="$1" file="$2" ok bad
  # The status follows the dots after the name (a name may itself contain "Failed").
  ok=$(grep -cE "^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\.{3,} +Passed" "$file")
  bad=$(grep -cE "$failed_re" "$file")
  passed=$((passed + ok))
  failed=$((failed + bad))
  if [ "$bad" -gt 0 ]; then
    while IFS= read -r name; do failures+=("$what: $name"); done < <(
      grep -E "$failed_re" "$file" |
        sed -E 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+).*/\1/')
  fi
  echo "$what: $ok passed, $bad failed"
}

long="$(cd "$build" && ctest -N -L long 2>/dev/null | grep -E '^ *Test +#' | sed -E 's/^ *Test +#[0-9]+: //')"
if [ -n "$long" ]; then
  echo "tests labelled long (run in every round):"
  echo "$long" | sed 's/^/  /'
fi

start_hogs
for r in $(seq "$rounds"); do
  f="$log/host-$r.txt"
  (cd "$build" && ctest --output-on-failure -j "$cores" --timeout 900 -L 'e2e|gui|web') > "$f" 2>&1
  note_round "round $r (e2e, gui, web; ${cores} hogs)" "$f"
done
stop_hogs

if [ "$qemu_rounds" -gt 0 ]; then
  # Builds the arm64 tree (the filter runs no test).
  bash "$root/scripts/cross-arm64.sh" "$arm64" -R '^$' > "$log/arm64-build.txt" 2>&1 ||
    { echo "arm64 build failed (see $log/arm64-build.txt)"; failed=$((failed + 1)); qemu_rounds=0; }
  for r in $(seq "$qemu_rounds"); do
    f="$log/qemu-$r.txt"
    : > "$f"
    for s in platform shell dsp results board receivers scan sim updater web; do
      (cd "$arm64/core" && GTEST_DEATH_TEST_STYLE=fast \
        ctest --test-dir "tests/$s" --output-on-failure -j "$cores" --timeout 600 -E web_page_chromium) \
        >> "$f" 2>&1
    done
    note_round "qemu round $r (unit, arm64)" "$f"
  done
fi

echo "logs: $log"
for x in "${failures[@]:-}"; do [ -n "$x" ] && echo "FAILED $x"; done
echo "stress: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
