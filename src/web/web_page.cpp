// The analyzer's web page, written into the web folder as "Index.html" (code page 1251).
#include <string>

#include "platform/text_cp1251.h"
#include "web/web_server.h"

namespace kavu {
namespace {

const char* const kPage = R"PAGE(<!DOCTYPE html>
<html lang="ru"><head>
<meta charset="windows-1251">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Антенный анализатор</title>
<style>
body{margin:0;font:14px sans-serif;background:#f4f4f4}
#bar{padding:4px;display:flex;flex-wrap:wrap;gap:6px;align-items:center;background:#e4e4e4}
#bar input[type=number]{width:5em}
#con{display:none;background:#000;color:#c0c0c0;font:13px monospace;white-space:pre;overflow:auto;max-height:40vh;padding:4px}
#dia{display:none;padding:4px;background:#eee}
#dia input[type=text]{width:70%}
#errs{color:#c00;font-weight:bold}
canvas{display:block}
</style></head><body>
<div id="bar">
<button id="bStart" title="Сканировать!">Старт</button>
<button id="bPause">Пауза</button>
<label><input type="checkbox" id="IsCheckR">R</label>
<label><input type="checkbox" id="IsCheckX">X</label>
<label><input type="checkbox" id="IsCheckRX">|R+jX|</label>
<label><input type="checkbox" id="IsCheckRazd">разд</label>
<label><input type="checkbox" id="IsCheckKSV">КСВ</label>
<label><input type="checkbox" id="IsCheckPred">Пред</label>
<label><input type="checkbox" id="IsCheckDia">Диа</label>
<button id="bCon">Con</button><span id="errs"></span>
<label>MaxR <input type="number" id="MaxR" min="1" max="9999"></label>
<label>Кабель <input type="number" id="CableR" min="1" max="500"> Ом</label>
<label>MaxКСВ <input type="number" id="MaxKSV" min="1.01" max="999" step="0.5"></label>
<span id="info"></span>
</div>
<div id="dia"><label><input type="checkbox" id="cikl">цикл</label> <input type="text" id="range" title="Диапазоны: начало-конец шаг (МГц); Enter - применить"></div>
<div id="con"></div>
<canvas id="cv"></canvas>
<script>
"use strict";
var URL_DATA = "/KavuAASdr/AntIzm.dat", CAP = 32768;
var COLORS = ["#000000","#cc0000","#0000cc","#cc00cc","#cccc00","#00cccc","#00cc00","#cc6600","#6600cc",
  "#0066cc","#cc0066","#66cc00","#00cc66","#666666","#990000","#000099","#009900","#999900","#990099"];
var cur = {gen: null, f: [], r: [], x: []}, prev = {gen: null, f: [], r: [], x: []};
var lastErrs = 0, shownErrs = 0, conOn = false;
function $(id) { return document.getElementById(id); }
function setCookie(n, v) { var d = new Date(); d.setTime(d.getTime() + 350 * 864e5);
  document.cookie = n + "=" + encodeURIComponent(v) + "; expires=" + d.toUTCString() + "; path=/"; }
function getCookie(n) { var m = document.cookie.match(new RegExp("(?:^|; )" + n + "=([^;]*)"));
  return m ? decodeURIComponent(m[1]) : null; }
function numCookie(n, lo, hi, def) { var v = parseFloat(getCookie(n)); return (isFinite(v) && v >= lo && v <= hi) ? v : def; }
var CHECKS = ["IsCheckR","IsCheckX","IsCheckRX","IsCheckRazd","IsCheckKSV","IsCheckPred","IsCheckDia"];
function loadSettings() {
  CHECKS.forEach(function (n) { $(n).checked = getCookie(n) === "1"; });
  if (!$("IsCheckR").checked && !$("IsCheckX").checked && !$("IsCheckRX").checked) $("IsCheckKSV").checked = true;
  $("MaxR").value = numCookie("MaxR", 1, 9999, 9999);
  $("CableR").value = numCookie("CableR", 1, 500, 50);
  $("MaxKSV").value = Math.max(1.01, numCookie("MaxKSV", 0, 999, 10));
}
function saveSettings() {
  CHECKS.forEach(function (n) { setCookie(n, $(n).checked ? "1" : "0"); });
  ["MaxR","CableR","MaxKSV"].forEach(function (n) { setCookie(n, $(n).value); });
}
function post(body, done) {
  var q = new XMLHttpRequest();
  q.open("POST", URL_DATA, true);
  q.setRequestHeader("Content-Type", "text/plain");
  q.responseType = "arraybuffer";
  q.onload = function () { done(q.status === 200 ? q.response : null); };
  q.onerror = q.ontimeout = function () { done(null); };
  q.timeout = 10000;
  q.send(body);
}
function appendPoints(set, buf) {
  var dv = new DataView(buf);
  for (var o = 0; o + 12 <= buf.byteLength && set.f.length < CAP; o += 12) {
    set.f.push(dv.getFloat32(o, true)); set.r.push(dv.getFloat32(o + 4, true)); set.x.push(dv.getFloat32(o + 8, true));
  }
}
function poll() {
  post("0", function (buf) {
    if (!buf || buf.byteLength < 16) { setTimeout(poll, 1000); return; }
    var dv = new DataView(buf), g0 = dv.getInt32(0, true), n0 = dv.getInt32(4, true),
        g1 = dv.getInt32(8, true), n1 = dv.getInt32(12, true);
    if (buf.byteLength >= 20) { lastErrs = dv.getInt32(16, true); showErrs(); }
    if (cur.gen === g1 && prev.gen !== g1) prev = {gen: g1, f: cur.f.slice(), r: cur.r.slice(), x: cur.x.slice()};
    if (cur.gen !== g0) cur = {gen: g0, f: [], r: [], x: []};
    if (prev.gen !== g1) prev = {gen: g1, f: [], r: [], x: []};
    var want = null, set = null;
    if ($("IsCheckPred").checked && prev.f.length < Math.min(n1, CAP)) { want = "1 1 " + prev.f.length; set = prev; }
    else if (cur.f.length < Math.min(n0, CAP)) { want = "1 0 " + cur.f.length; set = cur; }
    $("info").textContent = "точек: " + n0 + (n1 ? " / пред: " + n1 : "");
    if (!want) { if (conOn) showConsole(); setTimeout(poll, 1000); return; }
    post(want, function (pts) {
      if (pts) appendPoints(set, pts);
      draw(); if (conOn) showConsole(); setTimeout(poll, 1000);
    });
  });
}
function showErrs() { var n = lastErrs - shownErrs; $("errs").textContent = n > 0 ? "(" + n + ")" : ""; }
var FG = ["#000000","#5050ff","#00c000","#00c0c0","#ff5050","#ff50ff","#e0e000","#e0e0e0"];
var BG = ["#000000","#000080","#006000","#006060","#800000","#600060","#606000","#606060"];
function showConsole() {
  post("4", function (buf) {
    if (!buf) return;
    var b = new Uint8Array(buf), con = $("con"), dec = new TextDecoder("windows-1251");
    var atBottom = con.scrollTop + con.clientHeight >= con.scrollHeight - 4;
    con.textContent = "";
    var span = null, chunk = [];
    function flush() { if (chunk.length) { (span || con).appendChild(document.createTextNode(dec.decode(new Uint8Array(chunk)))); chunk = []; } }
    for (var i = 0; i < b.length; i++) {
      if (b[i] === 13) { chunk.push(10); continue; }
      if (b[i] === 10 && i + 1 < b.length) {
        flush(); var a = b[++i]; span = document.createElement("span");
        span.style.color = FG[a & 7]; span.style.background = BG[(a >> 4) & 7]; span.dataset.attr = a;
        con.appendChild(span); continue;
      }
      chunk.push(b[i]);
    }
    flush();
    if (atBottom) con.scrollTop = con.scrollHeight;
    shownErrs = lastErrs; showErrs();
  });
}
function swrOf(r, x, z0) {
  var a = Math.max(r, 0), c = a * a - z0 * z0 + x * x, d = 2 * x * z0;
  var rho = Math.sqrt(c * c + d * d) / ((a + z0) * (a + z0) + x * x);
  return (1 + rho) / (1 - rho);
}
function Setka_Create(lo, hi, minStep) {
  var e = Math.ceil(Math.log10(minStep)), base = Math.pow(10, e), n = 1;
  [10, 5, 2, 1].some(function (k) { if (base / k >= minStep) { n = k; return true; } return false; });
  var step = base / n, lines = [], i0 = Math.floor(lo / step), i1 = Math.ceil(hi / step);
  for (var i = i0; i <= i1 && lines.length < 1000; i++) {
    var kind = (i % n !== 0) ? 0 : ((i / n) % 10 === 0 ? 2 : 1);
    var dec = Math.min(15, Math.max(0, -e) + (kind === 0 ? 1 : 0));
    lines.push({v: i * step, kind: kind, text: (i * step).toFixed(dec)});
  }
  return lines;
}
var GRID = ["#d2d2d2", "#c8c8c8", "#a0a0a0"], NAMES = ["R", "X", "|R+jX|", "КСВ"];
function quantity(k, set, i, z0) {
  var r = set.r[i], x = set.x[i];
  return k === 0 ? r : k === 1 ? x : k === 2 ? Math.sqrt(r * r + x * x) : swrOf(r, x, z0);
}
function draw() {
  var cv = $("cv"), W = window.innerWidth, H = Math.max(150, window.innerHeight - cv.getBoundingClientRect().top - 2);
  cv.width = W; cv.height = H;
  var g = cv.getContext("2d"); g.fillStyle = "#fff"; g.fillRect(0, 0, W, H); g.font = "16px serif";
  var z0 = parseFloat($("CableR").value) || 50, maxR = parseFloat($("MaxR").value) || 9999;
  var maxK = Math.max(1.01, parseFloat($("MaxKSV").value) || 10), pred = $("IsCheckPred").checked;
  var sel = [$("IsCheckR").checked, $("IsCheckX").checked, $("IsCheckRX").checked], panels = [];
  if ($("IsCheckRazd").checked) { sel.forEach(function (on, k) { if (on) panels.push([k]); }); }
  else { var p = []; sel.forEach(function (on, k) { if (on) p.push(k); }); if (p.length) panels.push(p); }
  if ($("IsCheckKSV").checked) panels.push([3]);
  if (!panels.length) { g.fillStyle = "#000"; g.fillText("Не выбраны графики", 20, 30); return; }
  var sets = pred ? [prev, cur] : [cur], fLo = Infinity, fHi = -Infinity;
  sets.forEach(function (s) { s.f.forEach(function (f) { if (isFinite(f)) { fLo = Math.min(fLo, f / 1e6); fHi = Math.max(fHi, f / 1e6); } }); });
  if (!isFinite(fLo)) { fLo = 0; fHi = 1; }
  if (fHi <= fLo) { fLo -= 0.5; fHi += 0.5; }
  var ph = Math.floor((H - 24) / panels.length), ranges = [], labelW = 0;
  panels.forEach(function (pan, pi) {
    var lo = Infinity, hi = -Infinity;
    if (pan[0] === 3) { lo = 1; hi = maxK; } else {
      pan.forEach(function (k) { sets.forEach(function (s) { for (var i = 0; i < s.f.length; i++) {
        var v = quantity(k, s, i, z0), f = s.f[i] / 1e6; if (!isFinite(v) || !isFinite(f) || f < fLo || f > fHi) continue;
        v = Math.max(-maxR, Math.min(maxR, v)); lo = Math.min(lo, v); hi = Math.max(hi, v); } }); });
      if (!isFinite(lo)) { lo = 0; hi = 0; }
      if (hi <= lo) { lo -= 0.5; hi += 0.5; }
    }
    var grid = Setka_Create(lo, hi, (hi - lo) * Math.min(40, Math.max(24, ph / 6)) / ph);
    grid.forEach(function (l) { labelW = Math.max(labelW, g.measureText(l.text).width + 4); });
    ranges.push({lo: lo, hi: hi, grid: grid, top: pi * ph});
  });
  labelW = Math.min(labelW, W / 3);
  var pw = W - labelW - 4;
  function fx(f) { return labelW + (f - fLo) / (fHi - fLo) * pw; }
  var fgrid = Setka_Create(fLo, fHi, (fHi - fLo) * Math.min(40, Math.max(3, W / 6)) / W);
  panels.forEach(function (pan, pi) {
    var R = ranges[pi], top = R.top + 4, h = ph - 8;
    function vy(v) { return top + h - (Math.max(R.lo, Math.min(R.hi, v)) - R.lo) / (R.hi - R.lo) * h; }
    g.lineWidth = 1;
    R.grid.forEach(function (l) { if (l.v < R.lo || l.v > R.hi) return; g.strokeStyle = GRID[l.kind]; g.beginPath();
      g.moveTo(labelW, vy(l.v)); g.lineTo(W, vy(l.v)); g.stroke(); g.fillStyle = "#000"; g.textAlign = "right";
      g.fillText(l.text, labelW - 2, vy(l.v) + 5); });
    fgrid.forEach(function (l) { if (l.v < fLo || l.v > fHi) return; g.strokeStyle = GRID[l.kind]; g.beginPath();
      g.moveTo(fx(l.v), top); g.lineTo(fx(l.v), top + h); g.stroke(); });
    g.lineWidth = 2; var ci = 0, legendX = labelW + 8;
    pan.forEach(function (k) { sets.forEach(function (s) {
      var colour = COLORS[ci++ % COLORS.length], name = NAMES[k] + (s === prev && pred ? " пред" : "");
      g.fillStyle = colour; g.textAlign = "left"; g.font = "16px serif";
      g.fillText(name, legendX, top + 16); legendX += g.measureText(name).width + 14;
      g.strokeStyle = colour; g.beginPath(); var pen = false;
      for (var i = 0; i < s.f.length; i++) { var v = quantity(k, s, i, z0), f = s.f[i] / 1e6;
        if (!isFinite(v) || !isFinite(f)) { pen = false; continue; }
        if (pen) g.lineTo(fx(f), vy(v)); else g.moveTo(fx(f), vy(v)); pen = true; }
      g.stroke(); }); });
  });
  g.textAlign = "center"; g.fillStyle = "#000"; var used = [];
  [2, 1, 0].forEach(function (kind) { fgrid.forEach(function (l) {
    if (l.kind !== kind || l.v < fLo || l.v > fHi) return;
    g.font = kind === 2 ? "bold 16px serif" : "16px serif";
    var w = g.measureText(l.text).width, x = Math.max(labelW + w / 2, Math.min(W - w / 2 - 2, fx(l.v)));
    var a = x - w / 2 - 5, b = x + w / 2 + 5;
    if (used.some(function (u) { return a < u[1] && b > u[0]; })) return;
    used.push([a, b]); g.fillText(l.text, x, H - 6); }); });
  window.kavuPlotted = {cur: cur.f.length, prev: prev.f.length, panels: panels.length};
}
window.kavuState = function () { return {cur: cur, prev: prev}; };
function loadRange() {
  post("5", function (buf) { if (!buf || !buf.byteLength) return; var b = new Uint8Array(buf);
    $("cikl").checked = b[0] !== 0; $("range").value = new TextDecoder("windows-1251").decode(b.subarray(1)); });
}
function sendRange() { post("S " + ($("cikl").checked ? "1" : "0") + $("range").value, function () {}); }
window.addEventListener("load", function () {
  loadSettings();
  CHECKS.concat(["MaxR","CableR","MaxKSV"]).forEach(function (n) {
    $(n).addEventListener("change", function () { saveSettings(); if (n === "IsCheckDia") showDia(); draw(); }); });
  $("bStart").onclick = function () { post("2", function () {}); };
  $("bPause").onclick = function () { post("3", function () {}); };
  $("bCon").onclick = function () { conOn = !conOn; $("con").style.display = conOn ? "block" : "none"; if (conOn) showConsole(); draw(); };
  $("range").addEventListener("keydown", function (e) { if (e.key === "Enter") sendRange(); });
  $("cikl").addEventListener("click", sendRange);
  window.addEventListener("resize", draw);
  showDia(); draw(); poll();
});
function showDia() { var on = $("IsCheckDia").checked; $("dia").style.display = on ? "block" : "none"; if (on) loadRange(); }
</script></body></html>
)PAGE";

}  // namespace

std::string WebPageCp1251() { return Utf8ToCp1251(kPage); }

}  // namespace kavu
