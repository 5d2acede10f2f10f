// The analyzer's web page in Debian's headless Chromium, against `kavusdraa-cli serve` on the
// virtual bench: cookies survive a reload, the range editor's text reaches the scan, "Старт"
// runs a scan, the plotted points equal the server's, the console mirror keeps the log's colours.
// Every wait is bounded; the server listens on 127.0.0.1 only and is stopped at the end.
import { spawn } from "node:child_process";
import { mkdtempSync, rmSync } from "node:fs";
import net from "node:net";
import os from "node:os";
import path from "node:path";
import { pathToFileURL } from "node:url";

const [cli, playwrightPath, shot] = process.argv.slice(2);
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
// A series resonator: 50 ohms, X crossing zero near 144.5 MHz.
const server = spawn(cli, ["serve", "--sim", "series:R=50,L=1.2u,C=1.01p", "--address", "127.0.0.1", "--port", "0",
  "--range", "140-150 0.5"], { env, stdio: ["ignore", "pipe", "pipe"] });
let out = "", err = "";
server.stdout.on("data", (d) => { out += d; });
server.stderr.on("data", (d) => { err += d; });
const killer = setTimeout(() => { server.kill("SIGKILL"); }, 330000);

let browser;
try {
  await waitFor(() => /port (\d+)/.test(out), 30000, "the server to listen");
  const port = Number(/port (\d+)/.exec(out)[1]);
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

  // The range editor: its text reaches the scan.
  await page.check("#IsCheckDia");
  await waitFor(async () => (await page.inputValue("#range")) === "140-150 0.5", 5000, "the range text");
  check(await page.inputValue("#range") === "140-150 0.5", "the editor shows the server's range text");
  await page.fill("#range", "144-145 0.25");
  await page.press("#range", "Enter");
  await waitFor(async () => (await command(port, "5")).subarray(1).toString("latin1") === "144-145 0.25", 5000,
    "the new range on the server");

  // "Старт" runs a scan on the bench; the page plots what the server holds.
  await page.click("#bStart");
  const done = await waitFor(async () => {
    const st = await command(port, "0");
    const n0 = st.readInt32LE(4);
    const plotted = await page.evaluate(() => window.kavuPlotted && window.kavuPlotted.cur);
    return n0 === 5 && plotted === 5;
  }, 120000, "the scan's 5 points on the page");
  check(done, "a scan started from the page delivers its 5 points to the page");
  const pts = await command(port, "1 0 0");
  const server = [];
  for (let o = 0; o + 12 <= pts.length; o += 12) server.push([pts.readFloatLE(o), pts.readFloatLE(o + 4), pts.readFloatLE(o + 8)]);
  const local = await page.evaluate(() => { const s = window.kavuState(); return s.cur.f.map((f, i) => [f, s.cur.r[i], s.cur.x[i]]); });
  check(JSON.stringify(local) === JSON.stringify(server), "the page's points equal the server's");
  check(server.length === 5 && server.every((p) => p[0] >= 144e6 && p[0] <= 145e6), "the scan used the editor's range");
  check(server.every((p) => Math.abs(p[1] - 50) < 10) && server[0][2] < -3 && server[4][2] > 3,
    "the bench's resonator is measured (R near 50, X changing sign)");

  // The console mirror: the server's start line in magenta (attribute 5).
  await page.click("#bCon");
  const magenta = await waitFor(() => page.evaluate(() =>
    [...document.querySelectorAll("#con span")].some((s) => s.dataset.attr === "5" && s.textContent.includes("ЗАПУСК HTTP СЕРВЕРА"))),
  10000, "the magenta start line");
  check(magenta, "the console mirror shows the log's colours");
  if (shot) {  // a wider scan, with the first one as the previous set
    await page.click("#bCon");
    await page.fill("#range", "140-150 0.25");
    await page.press("#range", "Enter");
    await page.uncheck("#IsCheckDia");
    await page.check("#IsCheckX");
    await page.check("#IsCheckPred");
    await page.click("#bStart");
    await waitFor(async () => (await page.evaluate(() => window.kavuPlotted.cur)) === 41, 150000, "the wide scan");
    await page.waitForTimeout(500);
    await page.screenshot({ path: shot });
  }
} catch (e) {
  console.log("FAIL " + e.stack);
  failures++;
} finally {
  if (browser) await browser.close();
  server.kill("SIGTERM");
  await new Promise((r) => { server.on("exit", r); setTimeout(r, 10000); });
  clearTimeout(killer);
  rmSync(home, { recursive: true, force: true });
}
if (failures) console.log("server stderr:\n" + err.slice(-3000));
process.exit(failures ? 1 : 0);
