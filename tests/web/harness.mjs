// What the browser tests share: the built site on a local server, Debian's
// Chromium driven through the DevTools protocol, the page's state dump and
// picture, and the headless runner as the reference the page must agree
// with.
//
// VITRANE_SITE (default build-web/site) and VITRANE_RUN (default
// build/vitrane-run) say where the site and the runner are, relative to the
// current folder; VITRANE_CHROMIUM overrides /usr/bin/chromium.

import assert from "node:assert/strict";
import { execFile } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { fileURLToPath, pathToFileURL } from "node:url";
import { promisify } from "node:util";

import { PNG } from "pngjs";
import puppeteer from "puppeteer-core";

export const ROOT = path.resolve(fileURLToPath(new URL("../..", import.meta.url)));
export const SITE = path.resolve(process.env.VITRANE_SITE || path.join(ROOT, "build-web/site"));
export const RUNNER = path.resolve(process.env.VITRANE_RUN || path.join(ROOT, "build/vitrane-run"));
const CHROMIUM = process.env.VITRANE_CHROMIUM || "/usr/bin/chromium";

export const SCREEN = { width: 768, height: 1024 };
// The runner draws the platform's status bar over the top 20 points; the
// browser shows its own, so pictures are compared below it.
export const STATUS_BAR = 20;

const CHROMIUM_ARGS = [
  "--no-sandbox",
  "--use-angle=swiftshader",
  "--enable-unsafe-swiftshader",
  "--disable-background-networking",
  "--disable-component-update",
  "--disable-sync",
  "--no-first-run",
  "--disable-dev-shm-usage",
  // A page in a window that is not focused still gets its animation frames.
  "--disable-background-timer-throttling",
  "--disable-renderer-backgrounding",
  "--disable-backgrounding-occluded-windows",
];

export const STANDARD_GRAVITY = 9.80665;

// The readings of a device lying face up and still, in the browser's units
// (m/s², rad/s for the generic sensors), for Emulation.setSensorOverrideReadings.
export const FLAT_AND_STILL = {
  accelerometer: { x: 0, y: 0, z: STANDARD_GRAVITY },
  "linear-acceleration": { x: 0, y: 0, z: 0 },
  gravity: { x: 0, y: 0, z: STANDARD_GRAVITY },
  gyroscope: { x: 0, y: 0, z: 0 },
};

export function checkPrerequisites() {
  const missing = [];
  if (!fs.existsSync(path.join(SITE, "index.html"))) missing.push(`the site (${SITE}): build it with bash tools/web.sh`);
  if (!fs.existsSync(RUNNER)) missing.push(`the runner (${RUNNER}): build it with bash tools/build.sh`);
  if (!fs.existsSync(CHROMIUM)) missing.push(`Chromium (${CHROMIUM}): apt-get install chromium`);
  if (missing.length) throw new Error("the browser tests need " + missing.join("; "));
}

// --- The site -------------------------------------------------------------------

export async function serveSite(dir = SITE) {
  const { createServer } = await import(pathToFileURL(path.join(ROOT, "tools/web_serve.mjs")).href);
  const server = createServer(dir);
  await new Promise((resolve, reject) => {
    server.once("error", reject);
    server.listen(0, "127.0.0.1", resolve);
  });
  return {
    url: `http://127.0.0.1:${server.address().port}/`,
    close: () =>
      new Promise((resolve) => {
        server.close(() => resolve());
        server.closeAllConnections();
      }),
  };
}

// --- The browser ----------------------------------------------------------------

export async function launchBrowser() {
  checkPrerequisites();
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "vitrane-chromium-"));
  let browser;
  try {
    browser = await puppeteer.launch({
      executablePath: CHROMIUM,
      headless: true,
      userDataDir: profile,
      args: CHROMIUM_ARGS,
      protocolTimeout: 60000,
    });
  } catch (e) {
    fs.rmSync(profile, { recursive: true, force: true });
    throw e;
  }
  const close = browser.close.bind(browser);
  browser.close = async () => {
    try {
      await close();
    } finally {
      fs.rmSync(profile, { recursive: true, force: true });
    }
  };
  return browser;
}

// The site and a browser, for the tests of one file.
export async function startSession() {
  const site = await serveSite();
  let browser;
  try {
    browser = await launchBrowser();
  } catch (e) {
    await site.close();
    throw e;
  }
  return {
    url: site.url,
    browser,
    site,
    open: (options = {}) => openPage(browser, site.url, options),
    async close() {
      try {
        await browser.close();
      } finally {
        await site.close();
      }
    },
  };
}

const delay = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Opens the page as a 768 × 1024 tablet with a touch screen. Options:
// - query: appended to the address ("?nosw" keeps the service worker out);
// - orientation: {alpha, beta, gamma}, the heading the browser reports;
// - sensors: readings by generic sensor type (FLAT_AND_STILL), overridden
//   before the page loads so that its first devicemotion event has them;
// - pixelRatio: device pixels per CSS pixel (default 1);
// - wait: whether to wait for the first picture (default true).
export async function openPage(browser, baseUrl, options = {}) {
  const { query = "?nosw", orientation = null, sensors = null, pixelRatio = 1, wait = true } = options;
  const page = await browser.newPage();
  await page.setViewport({ ...SCREEN, deviceScaleFactor: pixelRatio, isMobile: true, hasTouch: true });
  const cdp = await page.createCDPSession();
  if (sensors) {
    for (const [type, xyz] of Object.entries(sensors)) {
      await cdp.send("Emulation.setSensorOverrideEnabled", { enabled: true, type });
      await cdp.send("Emulation.setSensorOverrideReadings", { type, reading: { xyz } });
    }
  }
  if (orientation) await cdp.send("DeviceOrientation.setDeviceOrientationOverride", orientation);
  const vp = new VitranePage(page, cdp);
  await page.goto(baseUrl + query);
  if (wait) await vp.waitForFirstFrame();
  return vp;
}

export class VitranePage {
  constructor(page, cdp) {
    this.page = page;
    this.cdp = cdp;
    // The application's log: every console.log line, in order.
    this.log = [];
    // Everything else the page said that looks like trouble.
    this.problems = [];
    page.on("console", (message) => {
      if (message.type() === "log") this.log.push(message.text());
      else if (message.type() === "error") this.problems.push("console.error: " + message.text());
    });
    page.on("pageerror", (error) => this.problems.push("uncaught: " + (error.message || error)));
  }

  // Touches the "Touch to start" overlay, which until then lies over the
  // canvas and takes every touch.
  async start() {
    await this.tap(SCREEN.width / 2, SCREEN.height / 2);
    try {
      await this.page.waitForFunction(() => document.getElementById("start").hidden, { timeout: 10000, polling: 50 });
    } catch (e) {
      const text = await this.page.evaluate(() => document.getElementById("start").innerText);
      throw new Error(`a touch did not take the start overlay away; it says: ${JSON.stringify(text)}`);
    }
  }

  async waitForFirstFrame(timeout = 30000) {
    try {
      await this.page.waitForFunction(() => window.vitranePage && window.vitranePage.firstFrameTime > 0, {
        timeout,
        polling: 50,
      });
    } catch (e) {
      throw new Error(`the page drew no picture within ${timeout} ms (${e.message}); ` + this.describeProblems());
    }
  }

  describeProblems() {
    return this.problems.length ? "the page said: " + this.problems.join(" | ") : "the page reported no error";
  }

  // The runner's state dump, from the page's module.
  state() {
    return this.page.evaluate(() => JSON.parse(Module.UTF8ToString(Module._vitrane_state())));
  }

  // Polls the state until predicate(state) holds; the application runs on
  // the browser's clock, so this is how a test lets time pass.
  async waitForState(predicate, what, timeout = 20000) {
    const deadline = Date.now() + timeout;
    for (;;) {
      const state = await this.state();
      if (predicate(state)) return state;
      if (Date.now() > deadline) {
        throw new Error(`timed out after ${timeout} ms waiting for ${what} (at frame ${state.frame}, ` +
                        `t = ${state.time} s); ` + this.describeProblems());
      }
      await delay(25);
    }
  }

  // Waits until the log has grown to at least n lines (console events come
  // over the protocol after the page wrote them).
  async waitForLogLines(n, timeout = 5000) {
    const deadline = Date.now() + timeout;
    while (this.log.length < n && Date.now() < deadline) await delay(20);
    return this.log.length >= n;
  }

  async waitForLogLine(line, timeout = 10000) {
    const deadline = Date.now() + timeout;
    while (!this.log.includes(line)) {
      if (Date.now() > deadline) throw new Error(`the page never logged "${line}"; its log ends with:\n  ` +
                                                 this.log.slice(-8).join("\n  "));
      await delay(20);
    }
  }

  // One animation frame of the page has passed (whatever it drew is done).
  nextAnimationFrame() {
    return this.page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => resolve())));
  }

  // Asks the page for a fresh picture of the same scene, as a change of the
  // window's size does.
  async redraw() {
    await this.page.evaluate(() => window.dispatchEvent(new Event("resize")));
    await this.nextAnimationFrame();
    await this.nextAnimationFrame();
  }

  setOrientation(alpha, beta = 0, gamma = 0) {
    return this.cdp.send("DeviceOrientation.setDeviceOrientationOverride", { alpha, beta, gamma });
  }

  // The canvas's drawing buffer as decoded PNG ({width, height, data}); the
  // host keeps the buffer between frames, so this is the last picture.
  async canvasImage() {
    const url = await this.page.evaluate(() => document.getElementById("screen").toDataURL("image/png"));
    return PNG.sync.read(Buffer.from(url.slice(url.indexOf(",") + 1), "base64"));
  }

  // --- Fingers (CSS pixels, which the viewport makes screen points) -----------
  touch(type, points) {
    return this.cdp.send("Input.dispatchTouchEvent", {
      type,
      touchPoints: points.map(([x, y], id) => ({ x, y, id, radiusX: 1, radiusY: 1, force: 1 })),
    });
  }

  async tap(x, y) {
    await this.touch("touchStart", [[x, y]]);
    await this.touch("touchEnd", []);
  }

  // Fingers moving along paths(u), u from 0 to 1 in `moves` steps, one step
  // per animation frame, as the runner moves them one step per frame.
  async gesture(paths, moves) {
    await this.touch("touchStart", paths(0));
    for (let i = 1; i <= moves; ++i) {
      await this.nextAnimationFrame();
      await this.touch("touchMove", paths(i / moves));
    }
    await this.nextAnimationFrame();
    await this.touch("touchEnd", []);
  }

  // As the runner's twist: two fingers on opposite sides of (cx, cy),
  // starting on a horizontal line, turning by angle (radians, positive
  // clockwise on the screen).
  twist(cx, cy, radius, angle, moves = 20) {
    const at = (a) => [cx + radius * Math.cos(a), cy + radius * Math.sin(a)];
    return this.gesture((u) => [at(Math.PI + angle * u), at(angle * u)], moves);
  }

  drag(x1, y1, x2, y2, moves = 20) {
    return this.gesture((u) => [[x1 + (x2 - x1) * u, y1 + (y2 - y1) * u]], moves);
  }

  pinch(cx, cy, r1, r2, moves = 20) {
    return this.gesture((u) => {
      const r = r1 + (r2 - r1) * u;
      return [[cx - r, cy], [cx + r, cy]];
    }, moves);
  }

  close() {
    return this.page.close();
  }
}

// --- The runner ------------------------------------------------------------------

const execFileAsync = promisify(execFile);

// Runs a scenario (text) through the headless runner. Returns the log lines
// (without STATE and PROBE lines), the state dumps, the probes as
// {view, x, y, sx, sy}, and the snapshot folder.
export async function runScenario(text, { snapshots = false } = {}) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), "vitrane-run-"));
  const file = path.join(dir, "scenario.scn");
  fs.writeFileSync(file, text);
  let stdout;
  try {
    ({ stdout } = await execFileAsync(RUNNER, ["--out", dir, file], { maxBuffer: 64 << 20 }));
  } catch (e) {
    fs.rmSync(dir, { recursive: true, force: true });
    throw new Error(`vitrane-run failed on\n${text}\n${e.stderr || e.message}`);
  }
  const lines = stdout.split("\n");
  if (lines[lines.length - 1] === "") lines.pop();
  const result = { log: [], states: [], probes: [], dir };
  for (const line of lines) {
    if (line.startsWith("STATE ")) result.states.push(JSON.parse(line.slice(6)));
    else if (line.startsWith("PROBE ")) {
      const [view, x, y, sx, sy] = line.slice(6).split(" ");
      result.probes.push({ view, x: +x, y: +y, sx: +sx, sy: +sy });
    } else result.log.push(line);
  }
  result.snapshot = (name) => PNG.sync.read(fs.readFileSync(path.join(dir, name)));
  result.cleanup = () => fs.rmSync(dir, { recursive: true, force: true });
  if (!snapshots) result.cleanup();
  return result;
}

// Where the centre of an outlet view is on the screen, by the runner's
// probe of the application as it launches.
export async function screenCentreOf(view) {
  const launch = await runScenario("frames 1\ndump\n");
  const { bounds } = launch.states[0].views[view];
  const run = await runScenario(`frames 1\nprobe ${view} ${bounds[2] / 2} ${bounds[3] / 2}\n`);
  return [run.probes[0].sx, run.probes[0].sy];
}

// --- Pictures ----------------------------------------------------------------------

// How far apart two pictures of the same size are, over the rows from
// `top` down: for each pixel the largest difference of its three colour
// channels (0..255); the mean over the pixels, the 99th percentile, and the
// fraction of pixels further apart than 32.
export function pictureDifference(a, b, top = STATUS_BAR) {
  if (a.width !== b.width || a.height !== b.height)
    throw new Error(`pictures of different sizes: ${a.width} × ${a.height} and ${b.width} × ${b.height}`);
  const histogram = new Array(256).fill(0);
  let sum = 0;
  let count = 0;
  for (let y = top; y < a.height; ++y) {
    for (let x = 0; x < a.width; ++x) {
      const i = (y * a.width + x) * 4;
      const d = Math.max(Math.abs(a.data[i] - b.data[i]), Math.abs(a.data[i + 1] - b.data[i + 1]),
                         Math.abs(a.data[i + 2] - b.data[i + 2]));
      histogram[d]++;
      sum += d;
      count++;
    }
  }
  const percentile = (p) => {
    let seen = 0;
    for (let d = 0; d < 256; ++d) {
      seen += histogram[d];
      if (seen >= p * count) return d;
    }
    return 255;
  };
  let far = 0;
  for (let d = 33; d < 256; ++d) far += histogram[d];
  return { mean: sum / count, p99: percentile(0.99), far: far / count };
}

export const describeDifference = (d) =>
  `mean ${d.mean.toFixed(2)}, 99th percentile ${d.p99}, ${(100 * d.far).toFixed(2)}% of pixels beyond 32`;

// swiftshader and the runner's software GL sample textures and round
// blends a little differently. The same picture of the table measured a
// mean difference of at most 0.3 and a 99th percentile of at most 2 (of
// 255); the table turned 30° the other way, or not at all, measured a mean
// of 12 and more.
export const SAME = { mean: 1.5, p99: 10 };
export const DIFFERENT = { mean: 5 };

// Asserts that the page's picture is the reference's, and returns how far
// apart they are; on failure both are kept for a look.
export function assertSamePicture(actual, expected, what, name) {
  const d = pictureDifference(actual, expected);
  if (d.mean > SAME.mean || d.p99 > SAME.p99) {
    const dir = keepForInspection(name, { page: actual, expected });
    throw new assert.AssertionError({
      message: `${what}: the pictures differ (${describeDifference(d)}; allowed: mean ${SAME.mean}, ` +
               `99th percentile ${SAME.p99}); both are in ${dir}/${name}-*.png`,
    });
  }
  return d;
}

// Asserts that two pictures are far apart: a test that compares pictures
// must be able to tell the right one from its near misses.
export function assertDifferentPicture(actual, other, what) {
  const d = pictureDifference(actual, other);
  if (d.mean < DIFFERENT.mean) {
    throw new assert.AssertionError({
      message: `${what}: the pictures are alike (${describeDifference(d)}; a mean of at least ` +
               `${DIFFERENT.mean} was expected)`,
    });
  }
  return d;
}

// The spread of a picture's brightness: a blank (one-colour) picture has 0.
export function pictureSpread(image) {
  let sum = 0;
  let sumSquares = 0;
  const n = image.width * image.height;
  for (let i = 0; i < n; ++i) {
    const v = (image.data[4 * i] + image.data[4 * i + 1] + image.data[4 * i + 2]) / 3;
    sum += v;
    sumSquares += v * v;
  }
  const mean = sum / n;
  return Math.sqrt(Math.max(0, sumSquares / n - mean * mean));
}

// Keeps the two pictures of a failed comparison where the report says.
export function keepForInspection(name, pictures) {
  const dir = path.join(os.tmpdir(), "vitrane-web-test-pictures");
  fs.mkdirSync(dir, { recursive: true });
  for (const [label, image] of Object.entries(pictures)) writePng(path.join(dir, `${name}-${label}.png`), image);
  return dir;
}

export function writePng(file, image) {
  const png = new PNG({ width: image.width, height: image.height });
  image.data.copy ? image.data.copy(png.data) : png.data.set(image.data);
  fs.writeFileSync(file, PNG.sync.write(png));
}

// A bold picture made here: quarters of four colours with a checkerboard in
// the top-left one, so that any turn or mirror of it shows.
export function makePatternPng(width = 640, height = 480) {
  const png = new PNG({ width, height });
  const colours = [[220, 40, 40], [40, 160, 60], [40, 70, 210], [240, 210, 40]];
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      const quarter = (y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1);
      let c = colours[quarter];
      if (quarter === 0 && ((x >> 5) + (y >> 5)) % 2) c = [250, 250, 250];
      const i = (y * width + x) * 4;
      png.data[i] = c[0];
      png.data[i + 1] = c[1];
      png.data[i + 2] = c[2];
      png.data[i + 3] = 255;
    }
  }
  return PNG.sync.write(png);
}

export function tempFolder(prefix = "vitrane-web-test-") {
  return fs.mkdtempSync(path.join(os.tmpdir(), prefix));
}
