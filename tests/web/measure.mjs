#!/usr/bin/env node
// Measures the web build in headless Chromium (software WebGL):
//   - load to first picture: from the navigation's start to the moment the
//     page drew its first picture (vitranePage.firstFrameTime), median of
//     N loads;
//   - the main thread's work per animation frame (vitranePage.frameTimes)
//     while the device turns steadily (the heading changes every 16 ms),
//     over 5 s: median and 95th percentile.
//
//   node tests/web/measure.mjs [--loads N] [--seconds S]
//
// Prints one line a figure, then the same as one JSON object on the last
// line. VITRANE_SITE says where the site is (default build-web/site).

import { FLAT_AND_STILL, startSession } from "./harness.mjs";

function option(name, fallback) {
  const at = process.argv.indexOf(name);
  if (at < 0) return fallback;
  const value = Number(process.argv[at + 1]);
  if (!(value > 0)) {
    console.error(`measure: ${name} needs a positive number`);
    process.exit(2);
  }
  return value;
}

const loads = option("--loads", 5);
const seconds = option("--seconds", 5);

const quantile = (values, q) => {
  const sorted = [...values].sort((a, b) => a - b);
  if (!sorted.length) return NaN;
  const at = (sorted.length - 1) * q;
  const low = Math.floor(at);
  const high = Math.ceil(at);
  return sorted[low] + (sorted[high] - sorted[low]) * (at - low);
};

const session = await startSession();
try {
  const firstFrames = [];
  for (let i = 0; i < loads; ++i) {
    const page = await session.open({ orientation: { alpha: 0, beta: 0, gamma: 0 }, sensors: FLAT_AND_STILL });
    // performance.now() counts from the navigation's start.
    firstFrames.push(await page.page.evaluate(() => window.vitranePage.firstFrameTime));
    await page.close();
  }

  const page = await session.open({ orientation: { alpha: 0, beta: 0, gamma: 0 }, sensors: FLAT_AND_STILL });
  await page.waitForState((s) => s.time >= 1, "the panel to fade in");
  await page.page.evaluate(() => { window.vitranePage.frameTimes.length = 0; });
  // A steady turn of 45° a second, the heading set every 16 ms.
  const start = Date.now();
  let alpha = 0;
  while (Date.now() - start < seconds * 1000) {
    const tick = Date.now();
    alpha = (((Date.now() - start) / 1000) * 45) % 360;
    await page.setOrientation(alpha);
    const left = 16 - (Date.now() - tick);
    if (left > 0) await new Promise((resolve) => setTimeout(resolve, left));
  }
  const frameTimes = await page.page.evaluate(() => window.vitranePage.frameTimes.slice());
  const state = await page.state();
  await page.close();

  const result = {
    loads,
    firstFrameMedianMs: Number(quantile(firstFrames, 0.5).toFixed(1)),
    firstFrameMs: firstFrames.map((v) => Number(v.toFixed(1))),
    turnSeconds: seconds,
    animationFrames: frameTimes.length,
    frameWorkMedianMs: Number(quantile(frameTimes, 0.5).toFixed(2)),
    frameWorkP95Ms: Number(quantile(frameTimes, 0.95).toFixed(2)),
    framesPerSecond: Number((frameTimes.length / seconds).toFixed(1)),
    applicationFrames: state.frame,
  };
  console.log(`load to first picture: median ${result.firstFrameMedianMs} ms over ${loads} loads ` +
              `(${result.firstFrameMs.join(", ")})`);
  console.log(`main-thread work per animation frame while turning: median ${result.frameWorkMedianMs} ms, ` +
              `95th percentile ${result.frameWorkP95Ms} ms (${result.animationFrames} frames in ${seconds} s, ` +
              `${result.framesPerSecond} a second)`);
  console.log(JSON.stringify(result));
} finally {
  await session.close();
}
