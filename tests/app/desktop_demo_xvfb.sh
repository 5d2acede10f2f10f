#!/usr/bin/env bash
# The desktop program as a person meets it: `kavusdraa --demo` in a real X server (Xvfb), the
# main window found, "Сканировать!" pressed by its key F5, and after the scan the screen is a
# picture, not a blank: the program is still running and the screenshot has detail.
#   desktop_demo_xvfb.sh KAVUSDRAA OUT_DIR
set -euo pipefail
desktop="$1"
out="$2"
mkdir -p "$out"
tmp="$(mktemp -d)"
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data"
for tool in Xvfb xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/setup.sh installs it)"; exit 1; }
done
display=":$((200 + RANDOM % 300))"
Xvfb "$display" -screen 0 1400x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
sleep 1
DISPLAY="$display" QT_QPA_PLATFORM=xcb "$desktop" --demo >"$out/demo.log" 2>&1 &
app_pid=$!
win="$(DISPLAY="$display" timeout 30 xdotool search --sync --name "Антенный анализатор|rtlsdr|Fsdr" | head -1)"
[ -n "$win" ] || { echo "the main window did not appear"; tail -20 "$out/demo.log"; exit 1; }
sleep 2
DISPLAY="$display" xdotool windowfocus --sync "$win" key F5
sleep 6  # the demo's scan takes a few seconds; the results window opens at its end
kill -0 "$app_pid" 2>/dev/null || { echo "kavusdraa ended during the scan"; tail -20 "$out/demo.log"; exit 1; }
shot="$out/desktop_demo.png"
import -display "$display" -window root "$shot"
deviation="$(convert "$shot" -colorspace Gray -format '%[fx:standard_deviation]' info:)"
echo "screenshot $shot, grey deviation $deviation"
awk -v d="$deviation" 'BEGIN { exit !(d > 0.05) }' || { echo "the screen is blank"; exit 1; }
grep -q "ОШИБКА" "$out/demo.log" && { echo "the demo scan showed an error:"; grep "ОШИБКА" "$out/demo.log"; exit 1; }
echo "ok"
