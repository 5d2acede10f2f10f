// The analyzer's web page in Debian's headless Chromium, against the headless analyzer
// (`kavusdraa-cli serve --sim`) or the desktop program (`kavusdraa --demo --web`, its window on
// Qt's offscreen platform) on the virtual bench: cookies survive a reload, the range editor's text
// reaches the scan, "Старт" runs a scan that is saved, the plotted points equal the server's, the
// console mirror keeps the log's colours, and SIGTERM during a scan ends the program with that
// scan's points saved. Every wait is bounded; the server listens on 127.0.0.1 only.
//   node page_test.mjs PROGRAM PLAYWRIGHT_INDEX [PAGE_SHOT.png [WINDOW_SHOT.png]]
// The program's file name picks the way it is started. With KAVU_PAGE_DISPLAY set (an X display)
// the desktop program's window goes there and WINDOW_SHOT is that screen during the page's scan.
import { spawn, execFileSync } from "node:child_process";
import { mkdtempSync, readdirSync, readFileSync, rmSync } from "node:fs";
import net from "node:net";
import os from "node:os";
import path from "node:path";
import { pathToFileURL } from "node:url";

const [program, playwrightPath, shot, windowShot] = process.argv.slice(2);
const { chromium } = await import(pathToFileURL(path.resolve(playwrightPath)).href);

let failures = 0;
function check(ok, what) {
  console.log((ok ? "ok   " : "FAIL ") + what);
  if (!ok) failures++;
}

// One data command over a raw socket (the answers carry a line without a colon).
function command(port, body) {
  return new Promise((resolve, reject) => {
    const s = net.connect(port, "127.0.0.1");
    const chunks = [];
    s.setTimeout(5000, () => { s.destroy(); reject(new Error("timeout")); });
    s.on("data", (d) => chunks.push(d));
    s.on("end", () => {
      const all = Buffer.concat(chunks);
      const end = all.indexOf("\r\n\r\n");
      resolve(all.subarray(end + 4));
    });
    s.on("error", reject);
    s.end(`POST /KavuAASdr/AntIzm.dat HTTP/1.0\r\nContent-Length: ${Buffer.byteLength(body)}\r\n\r\n${body}`);
  });
}

async function waitFor(fn, ms, what) {
  const end = Date.now() + ms;
  while (Date.now() < end) {
    try { if (await fn()) return true; } catch { /* not yet */ }
    await new Promise((r) => setTimeout(r, 200));
  }
  console.log("timed out waiting for " + what);
  return false;
}

const home = mkdtempSync(path.join(os.tmpdir(), "kavu-page-"));
const env = { ...process.env, HOME: home, XDG_CONFIG_HOME: home + "/config", XDG_DATA_HOME: home + "/data" };
const display = process.env.KAVU_PAGE_DISPLAY || "";
const desktop = path.basename(program) === "kavusdraa";
// How each program is started, where it names its port, and the range the page sends: 5 points
// across the antenna's resonance, so X changes sign between the first and the last.
const mode = desktop ? {
  // The demo antenna: series R=50, L=100n, C=12.05p, resonant at 145 MHz.
  args: ["--demo", "--web", "127.0.0.1:0"],
  listening: /Http сервер: порт (\d+)/,
  range: "140-150 2.5", lo: 140e6, hi: 150e6,
  stopStatus: 128 + 15,  // SIGTERM ends the window as its close box does, then says so
} : {
  // A series resonator: 50 ohms, X crossing zero near 144.5 MHz.
  args: ["serve", "--sim", "series:R=50,L=1.2u,C=1.01p", "--address", "127.0.0.1", "--port", "0", "--range", "140-150 0.5"],
  listening: /listening on 127\.0\.0\.1, port (\d+)/,
  range: "144-145 0.25", lo: 144e6, hi: 145e6,
  stopStatus: 128 + 15,  // the scan saved, then the signal's status, as `scan` ends
};
if (desktop) Object.assign(env, display ? { DISPLAY: display, QT_QPA_PLATFORM: "xcb" } : { QT_QPA_PLATFORM: "offscreen" });
const server = spawn(program, mode.args, { env, stdio: ["ignore", "pipe", "pipe"] });
let out = "", err = "";
server.stdout.on("data", (d) => { out += d; });
server.stderr.on("data", (d) => { err += d; });
let exitCode = null, exitSignal = null;
const exited = new Promise((r) => server.on("exit", (code, sig) => { exitCode = code; exitSignal = sig; r(); }));
const killer = setTimeout(() => { server.kill("SIGKILL"); }, 420000);

// The scan files saved so far: path and point count (the header's count at byte 12).
function savedScans() {
  const folder = path.join(home, "AntIzmSdrData");
  let names = [];
  try { names = readdirSync(folder).filter((n) => n.endsWith(".kant")); } catch { return []; }
  return names.map((n) => {
    const b = readFileSync(path.join(folder, n));
    return { name: n, points: b.length >= 16 ? b.readInt32LE(12) : -1 };
  });
}

async function sendRange(page, port, text) {
  await page.fill("#range", text);
  await page.press("#range", "Enter");
  return waitFor(async () => (await command(port, "5")).subarray(1).toString("latin1") === text, 5000,
    "the range " + text + " on the server");
}

let browser;
try {
  if (!await waitFor(() => mode.listening.test(out), 60000, "the server to listen")) throw new Error("no port in:\n" + out.slice(-2000));
  const port = Number(mode.listening.exec(out)[1]);
  browser = await chromium.launch({ executablePath: "/usr/bin/chromium", args: ["--no-sandbox"] });
  const page = await browser.newPage({ viewport: { width: 1100, height: 700 } });
  const base = `http://127.0.0.1:${port}/`;
  await page.goto(base, { timeout: 15000 });
  check(await page.title() === "Антенный анализатор", "the page loads in code page 1251");

  // Cookies: R on, SWR maximum 5; both survive a reload.
  await page.check("#IsCheckR");
  await page.fill("#MaxKSV", "5");
  await page.dispatchEvent("#MaxKSV", "change");
  await page.reload();
  check(await page.isChecked("#IsCheckR"), "the R check box survives a reload");
  check(await page.inputValue("#MaxKSV") === "5", "MaxKSV survives a reload");

  // The range editor shows the server's range text; the text typed in it reaches the scan.
  await page.check("#IsCheckDia");
  const initial = (await command(port, "5")).subarray(1).toString("latin1");
  await waitFor(async () => initial !== "" && (await page.inputValue("#range")) === initial, 5000, "the range text");
  check(initial !== "" && await page.inputValue("#range") === initial, "the editor shows the server's range text");
  check(await sendRange(page, port, mode.range), "the editor's range reaches the server");

  // "Старт" runs a scan on the bench; the page plots what the server holds, and it is saved.
  await page.click("#bStart");
  const done = await waitFor(async () => {
    const st = await command(port, "0");
    const n0 = st.readInt32LE(4);
    const plotted = await page.evaluate(() => window.kavuPlotted && window.kavuPlotted.cur);
    return n0 === 5 && plotted === 5;
  }, 120000, "the scan's 5 points on the page");
  check(done, "a scan started from the page delivers its 5 points to the page");
  const pts = await command(port, "1 0 0");
  const held = [];
  for (let o = 0; o + 12 <= pts.length; o += 12) held.push([pts.readFloatLE(o), pts.readFloatLE(o + 4), pts.readFloatLE(o + 8)]);
  const local = await page.evaluate(() => { const s = window.kavuState(); return s.cur.f.map((f, i) => [f, s.cur.r[i], s.cur.x[i]]); });
  check(JSON.stringify(local) === JSON.stringify(held), "the page's points equal the server's");
  // The desktop window scans the text of its own range edit: the page's text got there.
  check(held.length === 5 && held.every((p) => p[0] >= mode.lo && p[0] <= mode.hi), "the scan used the editor's range");
  check(held.every((p) => Math.abs(p[1] - 50) < 10) && held[0][2] < -3 && held[4][2] > 3,
    "the bench's resonator is measured (R near 50, X changing sign)");
  check(await waitFor(() => savedScans().some((f) => f.points === 5), 15000, "the saved scan"),
    "the page's scan is saved as the program saves every scan");

  // The console mirror: the server's start line in magenta (attribute 5).
  await page.click("#bCon");
  const magenta = await waitFor(() => page.evaluate(() =>
    [...document.querySelectorAll("#con span")].some((s) => s.dataset.attr === "5" && s.textContent.includes("ЗАПУСК HTTP СЕРВЕРА"))),
  10000, "the magenta start line");
  check(magenta, "the console mirror shows the log's colours");
  if (shot) {  // a wider scan, with the first one as the previous set
    await page.click("#bCon");
    await sendRange(page, port, "140-150 0.25");
    await page.uncheck("#IsCheckDia");
    await page.check("#IsCheckX");
    await page.check("#IsCheckPred");
    await page.click("#bStart");
    if (windowShot && display) {  // the main window (and the results window) during the scan
      await waitFor(async () => (await page.evaluate(() => window.kavuPlotted.cur)) >= 10, 60000, "the wide scan's first points");
      execFileSync("import", ["-display", display, "-window", "root", windowShot]);
    }
    await waitFor(async () => (await page.evaluate(() => window.kavuPlotted.cur)) === 41, 150000, "the wide scan");
    await page.waitForTimeout(500);
    await page.screenshot({ path: shot });
  }

  // SIGTERM in the middle of a long scan: the program ends on its own and keeps the points.
  // The range editor shown again, once it holds the server's text (so no late load overwrites).
  await page.check("#IsCheckDia");
  const now = (await command(port, "5")).subarray(1).toString("latin1");
  await waitFor(async () => (await page.inputValue("#range")) === now, 5000, "the range editor again");
  check(await sendRange(page, port, "140-200 0.01"), "the long scan's range reaches the server");
  await page.click("#bStart");
  let seen = 0;
  await waitFor(async () => { seen = (await command(port, "0")).readInt32LE(4); return seen >= 150; }, 120000,
    "150 points of the long scan");
  check(seen >= 150, "the long scan runs (" + seen + " points)");
  server.kill("SIGTERM");
  await Promise.race([exited, new Promise((r) => setTimeout(r, 30000))]);
  check(exitCode === mode.stopStatus, `SIGTERM ends the program with status ${mode.stopStatus} (${exitCode}, ${exitSignal})`);
  const kept = savedScans().filter((f) => f.points >= seen && f.points < 6001);
  check(kept.length === 1, `the stopped scan's ${seen}+ points are saved (${JSON.stringify(savedScans())})`);
} catch (e) {
  console.log("FAIL " + e.stack);
  failures++;
} finally {
  if (browser) await browser.close();
  if (exitCode === null && exitSignal === null) {
    server.kill("SIGTERM");
    await Promise.race([exited, new Promise((r) => setTimeout(r, 20000))]);
  }
  clearTimeout(killer);
  rmSync(home, { recursive: true, force: true });
}
if (failures) console.log("program output:\n" + out.slice(-3000) + "\nprogram stderr:\n" + err.slice(-3000));
process.exit(failures ? 1 : 0);
