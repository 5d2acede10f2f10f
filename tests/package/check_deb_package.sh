#!/usr/bin/env bash
# The Debian package as a user gets it: made by CPack from this build folder, its control fields
# and files checked, unpacked with `dpkg-deb -x` into a temporary folder and run from there: both
# programs' --version, a whole demo scan, and the desktop program on the demo bench (offscreen).
# Each run has KAVU_SIMLIB_DIR unset and its home and XDG folders in the temporary folder, and must
# load the simulated receiver library from the unpacked tree's private folder, not the build's.
#   check_deb_package.sh BINARY_DIR VERSION
set -euo pipefail
bin="$1"
version="$2"
fail() { echo "FAIL: $*" >&2; exit 1; }
command -v dpkg-shlibdeps >/dev/null || fail "dpkg-shlibdeps is missing (scripts/setup.sh installs dpkg-dev)"
tmp="$(mktemp -d)"
app_pid=""
cleanup() {
  if [ -n "$app_pid" ]; then kill -KILL "$app_pid" 2>/dev/null || true; fi
  rm -rf "$tmp"
}
trap cleanup EXIT

# The package, made into the temporary folder (CPack's staging folder goes there too).
cpack --config "$bin/CPackConfig.cmake" -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; fail "cpack"; }
deb="$tmp/out/kavusdraa_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$tmp/out"; fail "$(basename "$deb") was not made"; }

# Control fields: the project's version; Depends computed from the binaries; the receivers'
# libraries recommended.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kavusdraa ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), the project's is $version"
depends="$(field Depends)"
has_dep() {  # has_dep "FIELD" NAME: NAME is one of the field's packages
  local entry entries
  IFS=',' read -ra entries <<<"$1"
  for entry in "${entries[@]}"; do
    entry="${entry# }"
    [ "${entry%% *}" = "$2" ] && return 0
  done
  return 1
}
gui=0
[ -x "$bin/src/app/kavusdraa" ] && gui=1
libs=(libc6 libstdc++6 libudev1)
[ "$gui" = 1 ] && libs+=(libqt6core6 libqt6gui6 libqt6widgets6)
for lib in "${libs[@]}"; do
  has_dep "$depends" "$lib" || fail "Depends lacks $lib: $depends"
done
recommends="$(field Recommends)"
for lib in librtlsdr0 libhackrf0; do
  has_dep "$recommends" "$lib" || fail "Recommends lacks $lib: $recommends"
done

# Files: where the system looks for them; the simulated library only in the private folder.
root="$tmp/root"
dpkg-deb -x "$deb" "$root"
id=io.github.kavusdraa.Kavusdraa
simlib="$root/usr/lib/kavusdraa/simlib/librtlsdr.so.0"
files=(usr/bin/kavusdraa-cli usr/lib/kavusdraa/simlib/librtlsdr.so.0
       usr/share/applications/$id.desktop usr/share/metainfo/$id.metainfo.xml
       usr/share/icons/hicolor/scalable/apps/$id.svg usr/share/mime/packages/$id.xml
       usr/share/doc/kavusdraa/README.md)
[ "$gui" = 1 ] && files+=(usr/bin/kavusdraa)
for f in "${files[@]}"; do
  [ -f "$root/$f" ] || fail "$f is not in the package"
done
found="$(find "$root" -name 'librtlsdr*')"
[ "$found" = "$simlib" ] || fail "the simulated library is not only in the private folder: $found"
for f in "$root"/usr/bin/*; do
  ! readelf -d "$f" | grep -qE 'R(UN)?PATH' || fail "$(basename "$f") keeps a library search path"
done

# The unpacked programs, with nothing of the build's environment.
home="$tmp/home"
mkdir -p "$home"
run=(env -u KAVU_SIMLIB_DIR -u KAVU_EXTRA_PORTS -u KAVU_SIM_BENCH -u KAVU_BENCH_EVIDENCE
     HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share"
     XDG_CACHE_HOME="$home/.cache" XDG_RUNTIME_DIR="$tmp/run")
mkdir -m 700 "$tmp/run"
out="$("${run[@]}" "$root/usr/bin/kavusdraa-cli" --version)"
[ "$out" = "kavusdraa-cli $version" ] || fail "kavusdraa-cli --version: $out"

status=0
"${run[@]}" "$root/usr/bin/kavusdraa-cli" demo >"$tmp/demo.out" 2>"$tmp/demo.err" || status=$?
show_demo() { echo "--- demo stdout"; tail -n 15 "$tmp/demo.out"; echo "--- demo stderr"; tail -n 30 "$tmp/demo.err"; }
[ "$status" = 0 ] || { show_demo; fail "kavusdraa-cli demo exited with status $status"; }
grep -qF "гружу $simlib" "$tmp/demo.err" ||
  { show_demo; fail "the demo did not load the simulated library from the unpacked tree ($simlib)"; }
# A completed scan: every point of the demo's two ranges (140-150 MHz by 0.5: 21, 425-440 MHz by
# 1: 16), both range summaries, and the saved file in the temporary home holding those points.
points="$(grep -cP '^\d+\.\d+\t' "$tmp/demo.out" || true)"
[ "$points" = 37 ] || { show_demo; fail "the demo printed $points points, its ranges have 37"; }
[ "$(grep -c '^Диа ' "$tmp/demo.out" || true)" = 2 ] || { show_demo; fail "the demo printed no two range summaries"; }
saved="$(sed -n 's/^saved: //p' "$tmp/demo.out")"
[[ "$saved" == "$home/AntIzmSdrData/"*.kant ]] || { show_demo; fail "the scan was not saved in the home folder: $saved"; }
"${run[@]}" "$root/usr/bin/kavusdraa-cli" info "$saved" >"$tmp/info.out" || fail "kavusdraa-cli info $saved"
grep -qx 'points: 37' "$tmp/info.out" || { cat "$tmp/info.out"; fail "the saved scan does not hold 37 points"; }
echo "demo: $points points, saved in $saved"

if [ "$gui" = 1 ]; then
  # The desktop program on the demo bench: its start opens the bench's receiver, which loads the
  # library; SIGTERM then closes the window, and the program ends with 128 + 15.
  log="$tmp/desktop.log"
  QT_QPA_PLATFORM=offscreen "${run[@]}" "$root/usr/bin/kavusdraa" --demo >"$log" 2>&1 &
  app_pid=$!
  deadline=$((SECONDS + 60))
  until grep -qF "гружу $simlib" "$log"; do
    kill -0 "$app_pid" 2>/dev/null || { tail -n 30 "$log"; fail "kavusdraa --demo ended before loading $simlib"; }
    [ "$SECONDS" -lt "$deadline" ] || { tail -n 30 "$log"; fail "kavusdraa --demo did not load $simlib in 60 s"; }
    sleep 0.2
  done
  kill -TERM "$app_pid"
  status=0
  wait "$app_pid" || status=$?
  app_pid=""
  [ "$status" = 143 ] || { tail -n 30 "$log"; fail "kavusdraa --demo ended with status $status after SIGTERM"; }
  echo "desktop demo: library loaded from the unpacked tree, ended by SIGTERM"
fi
echo "package $(basename "$deb"): OK"
