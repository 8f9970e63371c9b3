// A photo chosen through the browser's file chooser becomes the table: the
// help panel's "Use a Library Photo" opens the chooser from the touch on
// it, and the application logs and shows what the runner's picker does for
// the same file. A file that is not a picture leaves the table as it was.

import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import { after, before, test } from "node:test";

import {
  assertDifferentPicture,
  assertSamePicture,
  describeDifference,
  FLAT_AND_STILL,
  makePatternPng,
  runScenario,
  screenCentreOf,
  startSession,
  tempFolder,
} from "./harness.mjs";

const FLAT = { alpha: 0, beta: 0, gamma: 0 };
const TABLE_POINT = [384, 900];
const FIRST_PICKER_LINE = "Use full Photo Library photo.";

let session;
let page;
let folder;
let pattern;
let notPicture;
let button;
before(async () => {
  folder = tempFolder();
  pattern = path.join(folder, "pattern.png");
  fs.writeFileSync(pattern, makePatternPng());
  notPicture = path.join(folder, "notes.jpg");
  fs.writeFileSync(notPicture, "a shopping list, not a picture\n");
  button = await screenCentreOf("usePhotoLibraryButton");
  session = await startSession();
  page = await session.open({ orientation: FLAT, sensors: FLAT_AND_STILL });
  await page.start();
  await page.waitForState((s) => s.time >= 1, "the panel to fade in");
});
after(async () => {
  await session?.close();
  if (folder) fs.rmSync(folder, { recursive: true, force: true });
});

// Touches the panel's button and answers the chooser it opens with file.
async function pick(file) {
  const chooser = page.page.waitForFileChooser({ timeout: 10000 });
  await page.tap(...button);
  let opened;
  try {
    opened = await chooser;
  } catch (e) {
    throw new Error(`touching "Use a Library Photo" at ${button} opened no file chooser (${e.message}); ` +
                    `the page's log ends with:\n  ${page.log.slice(-5).join("\n  ")}`);
  }
  assert.equal(opened.isMultiple(), false, "the chooser for one photo lets several be chosen");
  const from = page.log.length;
  await opened.accept([file]);
  return from;
}

// The log lines from the picker's first line on.
const pickerLines = (log) => log.slice(log.lastIndexOf(FIRST_PICKER_LINE));

let expectedPicture;
test("a photo chosen in the file chooser becomes the table", async (t) => {
  const run = await runScenario(
    `frames 120\naction useLibraryPhoto\nframes 1\npicker ${pattern}\nframes 120\ndump\nsnapshot picked.png\n`,
    { snapshots: true });
  const wood = await runScenario(`frames 120\ntap ${TABLE_POINT.join(" ")}\nframes 120\nsnapshot wood.png\n`,
                                 { snapshots: true });
  try {
    const expectedLog = pickerLines(run.log);
    const expectedState = run.states[0];
    expectedPicture = run.snapshot("picked.png");

    await pick(pattern);
    const state = await page.waitForState((s) => s.tileHorizontalPitch !== 1200, "the table to take the photo");
    for (const key of ["tileHorizontalPitch", "tileVerticalPitch"])
      assert.equal(state[key], expectedState[key], `${key} after the pick`);
    assert.deepEqual(state.views.seamlessTiles.bounds, expectedState.views.seamlessTiles.bounds,
                     "the tiles' bounds after the pick");
    await page.waitForLogLine(expectedLog[expectedLog.length - 1]);
    assert.deepEqual(pickerLines(page.log), expectedLog, "the page's log of the pick differs from vitrane-run's");

    // The pick also hides the panel. Its fade's last picture can be left
    // undrawn (the fade-in test shows it), so the test asks for a fresh one.
    await page.waitForState((s) => s.time >= state.time + 1, "the panel to fade out");
    await page.redraw();
    const picture = await page.canvasImage();
    const same = assertSamePicture(picture, expectedPicture, "the table after the pick against the runner's",
                                   "picked");
    assertDifferentPicture(picture, wood.snapshot("wood.png"), "the table after the pick against the wood");
    t.diagnostic(`picked photo against the runner: ${describeDifference(same)}`);
  } finally {
    run.cleanup();
    wood.cleanup();
  }
});

test("a file that is not a picture is passed over and the table stays", async () => {
  assert.ok(expectedPicture, "the photo was not picked (the test before failed)");
  const before = await page.state();
  // A press brings the panel back.
  await page.touch("touchStart", [TABLE_POINT]);
  await page.waitForState((s) => s.time >= before.time + 1, "the press to bring the panel back");
  await page.touch("touchEnd", []);
  const shown = await page.state();
  assert.equal(shown.views.instructionsView.alpha, 1, "a press on the table did not bring the panel back");

  const from = await pick(notPicture);
  const line = "Image picker: passing over notes.jpg";
  const deadline = Date.now() + 10000;
  while (!page.log.slice(from).some((l) => l.startsWith(line)) && Date.now() < deadline)
    await new Promise((resolve) => setTimeout(resolve, 20));
  assert.ok(page.log.slice(from).some((l) => l.startsWith(line)),
            `no "${line}: ..." line; the page logged:\n  ${page.log.slice(from).join("\n  ")}`);

  const state = await page.waitForState((s) => s.time >= shown.time + 1.5, "the chooser's answer to settle");
  for (const key of ["tileHorizontalPitch", "tileVerticalPitch"])
    assert.equal(state[key], before[key], `${key} changed although the file was not a picture`);
  // The panel is hidden again as after any pick, and the photo is still the table.
  await page.redraw();
  assertSamePicture(await page.canvasImage(), expectedPicture,
                    "the table after a file that is not a picture, against the photo picked before", "not-picture");
});
