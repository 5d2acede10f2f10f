#!/usr/bin/env bash
# Makes the README's pictures from bench scans: three scans of a series-resonant antenna model on
# the virtual bench, the results window on the first with the other two as comparison files
# (under Xvfb), the main window during a scan of `kavusdraa --demo`, and the same scan drawn by
# `kavusdraa-cli plot`; the options window on the bench and the SDRplay settings window on the
# simulated RSPduo, drawn offscreen by their window tests.
#   scripts/screenshots.sh [BUILD_DIR]      (default build/) → docs/images/*.png
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
cli="$build/src/app/kavusdraa-cli"
desktop="$build/src/app/kavusdraa"
out="$root/docs/images"
tmp="$(mktemp -d)"
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
mkdir -p "$out"
# A private settings file: the user's own settings are never touched.
export XDG_CONFIG_HOME="$tmp/config"
ini="$XDG_CONFIG_HOME/KavuPublicSoft/KavuAntIzmSdr/AntIzmSdr_2021.ini"
mkdir -p "$(dirname "$ini")"
printf '[CDlgOptions]\nm_SaveResPath=%s\n' "$tmp/results" > "$ini"

range="10-17 0.05"
"$cli" scan --sim series:R=38,L=1.2u,C=120p --range "$range" -o "$tmp/antenna.kant" >/dev/null
"$cli" scan --sim series:R=60,L=1.25u,C=118p --range "$range" -o "$tmp/before.kant" >/dev/null
"$cli" scan --sim series:R=25,L=1.15u,C=125p --range "$range" -o "$tmp/after.kant" >/dev/null

cat >> "$ini" <<INI
[CShowDataWindow]
sFileName1=$tmp/before.kant
sFileName2=$tmp/after.kant
[CDlg_SelectGraph]
m_IsFile1=1
m_IsFile2=1
m_IsMarkers=0
INI

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1600x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
sleep 1
DISPLAY="$display" QT_QPA_PLATFORM=xcb "$desktop" -geometry 1600x900+0+0 "$tmp/antenna.kant" >/dev/null 2>&1 &
app_pid=$!
sleep 4
import -display "$display" -window root "$out/results_window.png"
kill "$app_pid" 2>/dev/null || true
app_pid=""

# The main window on the demo bench, early in a scan ("Сканировать!" by its key F5).
DISPLAY="$display" QT_QPA_PLATFORM=xcb "$desktop" --demo >/dev/null 2>&1 &
app_pid=$!
sleep 5
win="$(DISPLAY="$display" xdotool search --sync --name "Антенный анализатор|rtlsdr|Virtual|Fsdr" | head -1)"
DISPLAY="$display" xdotool windowmove "$win" 0 0 windowsize "$win" 1600 700
sleep 1
DISPLAY="$display" xdotool windowfocus --sync "$win" key F5
sleep 0.6  # the demo's 37 points take about 1.5 s; then the results window covers the screen
import -display "$display" -window root -crop 1600x700+0+0 "$out/main_window.png"
kill "$app_pid" 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true
app_pid=""

# The options window as its test opens it from the main window on the bench (offscreen).
QT_QPA_PLATFORM=offscreen KAVU_OPTIONS_SCREENSHOT="$out/options_window.png" \
  "$build/tests/scan/ui/scan_ui_tests" \
  --gtest_filter=OptionsWindow.EnterAppliesAndKeepsTheWindowEscDropsWhatWasNotApplied >/dev/null

# The SDRplay settings window as its test draws it on the simulated RSPduo running both tuners.
mkdir -p "$tmp/sdrplay"
QT_QPA_PLATFORM=offscreen KAVU_SCREENSHOT_DIR="$tmp/sdrplay" "$build/tests/receivers/ui/receivers_ui_tests" \
  --gtest_filter=SdrPlayWindowTest.DuoSingleSwapsTunersAndBothInputsReopensDual >/dev/null
cp "$tmp/sdrplay/cdlg_sdrplay_rspduo_dual.png" "$out/sdrplay_window.png"

"$cli" plot "$tmp/antenna.kant" -o "$out/plot_swr_rx.png" --size 1200x600 --graphs R,X,KSV >/dev/null
"$cli" plot "$tmp/antenna.kant" -o "$out/circle_chart.png" --size 800x800 --chart >/dev/null
echo "$out/circle_chart.png"
echo "$out/results_window.png"
echo "$out/plot_swr_rx.png"
echo "$out/main_window.png"
echo "$out/options_window.png"
echo "$out/sdrplay_window.png"
