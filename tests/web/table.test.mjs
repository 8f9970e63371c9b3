// The table in the browser: the page launches the application as the
// runner does, starts from the heading the browser gives, turns the picture
// against a turn of the device as the native renderer draws it, and keeps
// drawing until an animation has ended. Also the README's screenshot.
//
// The runner is the reference: it and the site must be built from the same
// sources.

import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import { after, before, test } from "node:test";

import {
  assertDifferentPicture,
  assertSamePicture,
  describeDifference,
  FLAT_AND_STILL,
  runScenario,
  SCREEN,
  startSession,
} from "./harness.mjs";

const FLAT = { alpha: 0, beta: 0, gamma: 0 };
// A tap here lands on the table, below the instructions panel.
const TABLE_POINT = [384, 900];

let session;
before(async () => {
  session = await startSession();
});
after(async () => {
  await session?.close();
});

// Every test here waits for the application's own clock, which in the
// browser runs in real time.
const atLeast = (seconds) => (state) => state.time >= seconds;

test("the page logs the launch as the runner does", async () => {
  // Flat and still, in the runner's units: yaw π/2 (alpha 0), gravity
  // straight down, no rotation; the runner starts from the same sample.
  // The runner prints the launch block (scene set-up, device geometry,
  // tiles) before its first frame, then what the first frames print, and
  // nothing more while the device lies still: 240 frames are two seconds,
  // long enough for everything the launch logs. The page must
  // print the same lines in the same order; lines printed later depend on
  // what the person does, so the comparison ends at frame 240.
  const expected = (await runScenario("frames 240\n")).log;
  const page = await session.open({ orientation: FLAT, sensors: FLAT_AND_STILL });
  try {
    await page.waitForState((s) => s.frame >= 240, "frame 240");
    const first = page.log.indexOf(expected[0]);
    assert.notEqual(first, -1, `the page never logged the launch's first line "${expected[0]}"; it logged:\n` +
                               page.log.join("\n"));
    await page.waitForLogLines(first + expected.length);
    assert.deepEqual(page.log.slice(first), expected, "the page's launch log differs from vitrane-run's");
    // The sensors spoke, so the page must not offer the keyboard's tablet.
    assert.equal(await page.page.evaluate(() => document.getElementById("hint").hidden), true,
                 "the page says there are no motion sensors although the browser gave their readings");
  } finally {
    await page.close();
  }
});

test("a heading the browser gave before the application was ready is not lost", async () => {
  // The browser sends the first deviceorientation as soon as the page
  // listens, long before the module has compiled, and sends no other while
  // the device lies still: the application must start from that heading.
  const page = await session.open({ orientation: { alpha: 30, beta: 0, gamma: 0 }, sensors: FLAT_AND_STILL });
  try {
    const state = await page.waitForState((s) => s.frame >= 60, "frame 60");
    const yaw = Math.PI / 2 + Math.PI / 6;
    assert.ok(Math.abs(state.currentDeviceMotion.yaw - yaw) < 1e-9,
              `the yaw is ${state.currentDeviceMotion.yaw}, not π/2 + 30° = ${yaw}: the page dropped the heading ` +
              "that came before the module was ready");
  } finally {
    await page.close();
  }
});

test("a turn of the device turns the picture the other way", async (t) => {
  // Both sides: the panel fades in, a tap on the table fades it out, then
  // the device turns 30° counter-clockwise (alpha 30: yaw π/2 + 30°).
  const run = await runScenario(
    `frames 120\ntap ${TABLE_POINT.join(" ")}\nframes 120\n` +
    "motion yaw=120deg\nframes 12\nsnapshot turned.png\n" +
    "motion yaw=60deg\nframes 1\nsnapshot wrong-way.png\n" +
    "motion yaw=90deg\nframes 1\nsnapshot unturned.png\n",
    { snapshots: true });
  const page = await session.open({ orientation: FLAT, sensors: FLAT_AND_STILL });
  try {
    await page.start();
    let state = await page.waitForState(atLeast(1), "the panel to fade in");
    await page.tap(...TABLE_POINT);
    await page.waitForState(atLeast(state.time + 1), "the panel to fade out");

    await page.setOrientation(30);
    const yaw = Math.PI / 2 + Math.PI / 6;
    state = await page.waitForState((s) => Math.abs(s.currentDeviceMotion.yaw - yaw) < 1e-9,
                                    "the heading of alpha 30 to arrive");
    await page.nextAnimationFrame();
    const turned = await page.canvasImage();
    assert.equal(turned.width, SCREEN.width, "canvas width");
    assert.equal(turned.height, SCREEN.height, "canvas height");

    const same = assertSamePicture(turned, run.snapshot("turned.png"), "alpha 30 against the runner's yaw 120°",
                                   "turned");
    // A sign error would turn the picture the other way.
    const wrongWay = assertDifferentPicture(turned, run.snapshot("wrong-way.png"),
                                            "alpha 30 against the runner's turn the other way (yaw 60°)");
    const unturned = assertDifferentPicture(turned, run.snapshot("unturned.png"),
                                            "alpha 30 against the runner's unturned picture");
    t.diagnostic(`turned page against the runner: ${describeDifference(same)}; against the wrong way: ` +
                 `${describeDifference(wrongWay)}; against unturned: ${describeDifference(unturned)}`);
  } finally {
    await page.close();
    run.cleanup();
  }
});

test("the instructions panel fades in on a screen of two pixels a point", async (t) => {
  // At two device pixels a point each picture takes several times longer to
  // draw than the application's clock may advance in one frame. However
  // long a picture takes, the frames after it must go on drawing the fade
  // to its end: a second after it, with nothing else changing, the picture
  // on the canvas is the one a fresh drawing of the same scene gives.
  const page = await session.open({ orientation: FLAT, sensors: FLAT_AND_STILL, pixelRatio: 2 });
  try {
    await page.waitForState(atLeast(1.5), "the fade-in to be over");
    await page.nextAnimationFrame();
    const shown = await page.canvasImage();
    assert.equal(shown.width, 2 * SCREEN.width, "canvas width at two pixels a point");
    await page.redraw();
    const fresh = await page.canvasImage();
    const difference = assertSamePicture(
      shown, fresh,
      "the picture on the canvas after the fade-in, against a fresh drawing of the same scene (if the panel " +
      "is missing or faint on the first, the page stopped drawing before the fade had ended)", "fade-in");
    t.diagnostic(`after the fade-in: ${describeDifference(difference)}`);
  } finally {
    await page.close();
  }
});

const screenshotPath = process.env.VITRANE_WEB_SCREENSHOT;
test("screenshot of the turned table for the README", { skip: !screenshotPath && "VITRANE_WEB_SCREENSHOT is not set" },
     async () => {
  const page = await session.open({ orientation: FLAT, sensors: FLAT_AND_STILL });
  try {
    // The panel over the turned table: it stays upright while the grain
    // keeps its direction on the table.
    await page.start();
    await page.waitForState(atLeast(1), "the panel to fade in");
    await page.setOrientation(25);
    const yaw = Math.PI / 2 + (25 * Math.PI) / 180;
    await page.waitForState((s) => Math.abs(s.currentDeviceMotion.yaw - yaw) < 1e-9, "the turn by 25°");
    await page.nextAnimationFrame();
    fs.mkdirSync(path.dirname(path.resolve(screenshotPath)), { recursive: true });
    await page.page.screenshot({ path: screenshotPath, clip: { x: 0, y: 0, ...SCREEN } });
    assert.ok(fs.statSync(screenshotPath).size > 10000, `the screenshot ${screenshotPath} is nearly empty`);
  } finally {
    await page.close();
  }
});

test("the page's address switches the flat-pivot mode, as the window's option does", async () => {
  for (const [query, mode] of [["?nosw&flat-pivot=estimate", "estimate"], ["?nosw", undefined],
                               ["?nosw&flat-pivot=sideways", undefined]]) {
    const vp = await session.open({ query, orientation: FLAT, sensors: FLAT_AND_STILL });
    try {
      const state = await vp.state();
      // The dump names the mode only when it is on, so a page without the
      // parameter dumps exactly what the runner does.
      assert.equal(state.flatPivot?.mode, mode, `flatPivot.mode for ${query}`);
    } finally {
      await vp.page.close();
    }
  }
});
