// Fingers on the page: touches that come through the browser (pointer
// events from a touch screen) move the table as the runner's scripted
// touches do, and the page itself never scrolls or zooms under them.

import assert from "node:assert/strict";
import { after, before, test } from "node:test";

import { FLAT_AND_STILL, runScenario, startSession } from "./harness.mjs";

const FLAT = { alpha: 0, beta: 0, gamma: 0 };

let session;
let page;
before(async () => {
  session = await startSession();
  page = await session.open({ orientation: FLAT, sensors: FLAT_AND_STILL });
  await page.start();
  // Gestures below the instructions panel, once it has faded in.
  await page.waitForState((s) => s.time >= 1, "the panel to fade in");
});
after(async () => {
  await session?.close();
});

const close = (actual, expected, tolerance) =>
  actual.length === expected.length && actual.every((v, i) => Math.abs(v - expected[i]) <= tolerance);

const angleOf = (transform) => Math.atan2(transform[1], transform[0]);
const degrees = (radians) => ((radians * 180) / Math.PI).toFixed(1);

test("a two-finger twist turns the table and moves the pivot to the twist's centre", async () => {
  const twist = [300, 850, 80, Math.PI / 3];
  const run = await runScenario(`frames 120\ntwist ${twist[0]} ${twist[1]} ${twist[2]} 60deg 0.3\nframes 10\ndump\n`);
  const expected = run.states[0];
  assert.deepEqual(expected.currentAnchor, [twist[0], twist[1]], "the runner's twist left the pivot elsewhere");

  await page.twist(...twist);
  const state = await page.waitForState((s) => s.anchorSetByTwist && !close(s.currentAnchor, [384, 512], 0),
                                        "the pivot to move");
  assert.ok(close(state.currentAnchor, expected.currentAnchor, 0.5),
            `the pivot is at ${state.currentAnchor}, the runner's twist put it at ${expected.currentAnchor}`);
  // The table turned with the fingers, clockwise, as far as they did.
  const turned = angleOf(state.views.stretcherView.transform);
  const expectedTurn = angleOf(expected.views.stretcherView.transform);
  assert.ok(Math.abs(turned - expectedTurn) < (2 * Math.PI) / 180,
            `the twist turned the table by ${degrees(turned)}°, the runner's by ${degrees(expectedTurn)}°`);
});

test("one finger drags the table as the runner's drag does", async () => {
  const run = await runScenario("frames 120\ndump\ndrag 300 850 400 900 0.3\nframes 60\ndump\n");
  const [before, after] = run.states.map((s) => s.views.telescoperView.center);
  const expectedShift = [after[0] - before[0], after[1] - before[1]];
  assert.ok(close(expectedShift, [100, 50], 1), `the runner's drag moved the table by ${expectedShift}`);

  const start = (await page.state()).views.telescoperView.center;
  await page.drag(300, 850, 400, 900);
  // The table may glide on after the finger lifts: wait until it rests.
  let last = null;
  const state = await page.waitForState((s) => {
    const c = s.views.telescoperView.center;
    const resting = last && close(c, last, 1e-3) && !close(c, start, 1e-3);
    last = c;
    return resting;
  }, "the table to come to rest after the drag");
  const centre = state.views.telescoperView.center;
  const shift = [centre[0] - start[0], centre[1] - start[1]];
  assert.ok(close(shift, expectedShift, 2),
            `the drag moved the table by ${shift.map((v) => v.toFixed(2))}, the runner's by ` +
            `${expectedShift.map((v) => v.toFixed(2))}`);
});

test("the page neither scrolls nor zooms under the fingers", async () => {
  const scale = (s) => s.views.telescoperView.transform[0];
  const before = await page.state();
  await page.pinch(384, 850, 60, 120);
  await page.drag(384, 950, 384, 300);
  await page.drag(700, 900, 100, 900);
  // The pinch reached the application, which zoomed the table...
  const state = await page.waitForState((s) => scale(s) !== scale(before), "the pinch to zoom the table");
  assert.ok(scale(state) > scale(before), `the pinch apart zoomed the table to ${scale(state)}`);
  // ... and not the page.
  await page.nextAnimationFrame();
  const view = await page.page.evaluate(() => ({
    scrollX: window.scrollX,
    scrollY: window.scrollY,
    scale: window.visualViewport.scale,
    offsetLeft: window.visualViewport.offsetLeft,
    offsetTop: window.visualViewport.offsetTop,
  }));
  assert.deepEqual(view, { scrollX: 0, scrollY: 0, scale: 1, offsetLeft: 0, offsetTop: 0 },
                   "the page scrolled or zoomed under the fingers");
});
