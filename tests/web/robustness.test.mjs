// What a browser may throw at the page: sensor events with missing or
// impossible values, and a WebGL context taken away and given back.

import assert from "node:assert/strict";
import { after, before, test } from "node:test";

import {
  assertSamePicture,
  FLAT_AND_STILL,
  pictureSpread,
  startSession,
} from "./harness.mjs";

const FLAT = { alpha: 0, beta: 0, gamma: 0 };

let session;
before(async () => {
  session = await startSession();
});
after(async () => {
  await session?.close();
});

// The paths of every value in the dump that is not a finite number where
// a number belongs: JSON has no NaN or infinity, so the dump writes them
// as null. Nulls that the state has anyway (no popover) are left out by
// comparing with a dump taken before.
function nullPaths(value, at = "", out = new Set()) {
  if (value === null) out.add(at);
  else if (typeof value === "object") for (const [k, v] of Object.entries(value)) nullPaths(v, `${at}.${k}`, out);
  return out;
}

// Each is a line of script run in the page. First events as a browser with
// missing sensors sends them (null fields), then values no browser should
// send but a faulty bridge could pass into the module: NaN and infinities.
const BAD_READINGS = [
  "sendOrientation(null, null, null)",
  "sendOrientation(30, null, 5)",
  "sendOrientation(null, 10, 5)",
  "sendMotion({ x: null, y: null, z: null }, { x: null, y: null, z: null }, { alpha: null, beta: null, gamma: null }, 16)",
  "sendMotion(null, null, null, 0)",
  "sendMotion({ x: 0, y: null, z: 0 }, { x: 0, y: 0, z: null }, { alpha: 90, beta: null, gamma: 0 }, 16)",
  "sendMotion({ x: 0, y: 0, z: 0 }, { x: 0, y: 0, z: 0 }, { alpha: 0, beta: 0, gamma: 0 }, 16)",
];
for (const v of ["NaN", "Infinity", "-Infinity"]) {
  BAD_READINGS.push(
    `Module._vitrane_orientation(${v}, 0, 0)`,
    `Module._vitrane_orientation(0, ${v}, 0)`,
    `Module._vitrane_orientation(0, 0, ${v})`,
    `Module._vitrane_motion(${v}, 0, 0, 0, 0, 9.8, 0, 0, 0, 16)`,
    `Module._vitrane_motion(0, 0, 0, ${v}, ${v}, ${v}, 0, 0, 0, 16)`,
    `Module._vitrane_motion(0, 0, 0, 0, 0, 9.8, ${v}, 0, ${v}, 16)`,
    `Module._vitrane_motion(0, 0, 0, 0, 0, 9.8, 0, 0, 10, ${v})`,
    `Module._vitrane_motion(${v}, ${v}, ${v}, ${v}, ${v}, ${v}, ${v}, ${v}, ${v}, ${v})`,
    `Module._vitrane_screen_angle(${v})`);
}

test("sensor readings with nulls, NaN and infinities never reach the state", async () => {
  const page = await session.open({ orientation: FLAT, sensors: FLAT_AND_STILL });
  try {
    const baseline = nullPaths(await page.waitForState((s) => s.frame > 10, "frames"));
    await page.page.evaluate(() => {
      window.sendOrientation = (alpha, beta, gamma) =>
        window.dispatchEvent(new DeviceOrientationEvent("deviceorientation", { alpha, beta, gamma }));
      window.sendMotion = (acceleration, accelerationIncludingGravity, rotationRate, interval) =>
        window.dispatchEvent(new DeviceMotionEvent("devicemotion",
                                                   { acceleration, accelerationIncludingGravity, rotationRate, interval }));
    });
    // One at a time, with frames after each, so that the application works
    // with every one of them.
    for (const reading of BAD_READINGS) {
      const before = await page.state();
      await page.page.evaluate(reading);
      const state = await page.waitForState((s) => s.frame >= before.frame + 3, `frames after ${reading}`);
      const introduced = [...nullPaths(state)].filter((p) => !baseline.has(p));
      assert.deepEqual(introduced, [], `after ${reading} the state has non-finite numbers at ${introduced.join(", ")}`);
      assert.equal(typeof state.currentDeviceMotion.yaw, "number", `after ${reading} the yaw is not a number`);
    }

    // A good reading still turns the picture: alpha 45 is yaw π/2 + 45°.
    await page.page.evaluate(() => {
      Module._vitrane_screen_angle(0);
      window.sendOrientation(45, 0, 0);
    });
    const yaw = Math.PI / 2 + Math.PI / 4;
    await page.waitForState((s) => Math.abs(s.currentDeviceMotion.yaw - yaw) < 1e-9,
                            "a good reading after the bad ones to set the heading");
    await page.nextAnimationFrame();
    assert.ok(pictureSpread(await page.canvasImage()) > 10, "the canvas is blank after the bad readings");
    assert.deepEqual(page.problems.filter((p) => p.startsWith("uncaught")), [], "the page threw");
  } finally {
    await page.close();
  }
});

test("a lost WebGL context comes back with the table drawn again", async () => {
  const page = await session.open({ orientation: FLAT, sensors: FLAT_AND_STILL });
  try {
    await page.waitForState((s) => s.time >= 1, "the panel to fade in");
    await page.redraw();
    const before = await page.canvasImage();
    assert.ok(pictureSpread(before) > 10, "the canvas is blank before the context is lost");

    await page.page.evaluate(() => new Promise((resolve, reject) => {
      const canvas = document.getElementById("screen");
      const gl = canvas.getContext("webgl2");
      const lose = gl && gl.getExtension("WEBGL_lose_context");
      if (!lose) return reject(new Error("no WEBGL_lose_context"));
      window.__loseContext = lose;
      canvas.addEventListener("webglcontextlost", () => resolve(), { once: true });
      lose.loseContext();
    }));
    // Frames go on while the context is away, with nothing to draw on.
    const lost = await page.state();
    await page.waitForState((s) => s.frame > lost.frame + 30, "frames while the context is lost");

    await page.page.evaluate(() => new Promise((resolve) => {
      document.getElementById("screen").addEventListener("webglcontextrestored", () => resolve(), { once: true });
      window.__loseContext.restoreContext();
    }));
    // The picture comes back by itself: poll the canvas until it is there.
    let picture;
    const deadline = Date.now() + 15000;
    do {
      await page.nextAnimationFrame();
      picture = await page.canvasImage();
    } while (pictureSpread(picture) <= 10 && Date.now() < deadline);
    assert.ok(pictureSpread(picture) > 10, "the canvas stayed blank after the context came back; " +
                                           page.describeProblems());
    assertSamePicture(picture, before, "the table after the context came back, against before it went", "restored");
    const failures = page.log.filter((l) => l.startsWith("Drawing"));
    assert.deepEqual(failures, [], "the application reported drawing failures");
  } finally {
    await page.close();
  }
});
