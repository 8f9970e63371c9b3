// The installable web app: its manifest names icons that are there, and
// its service worker keeps a copy of the whole site, so that the page
// starts again with the network gone and the server stopped.

import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import { after, before, test } from "node:test";

import { PNG } from "pngjs";

import { launchBrowser, serveSite, SITE } from "./harness.mjs";

let browser;
let site;
before(async () => {
  site = await serveSite();
  browser = await launchBrowser();
});
after(async () => {
  await browser?.close();
  await site?.close();
});

test("the manifest parses and names icons that exist at their sizes", async () => {
  const response = await fetch(new URL("manifest.webmanifest", site.url));
  assert.equal(response.status, 200, "manifest.webmanifest is not served");
  assert.match(response.headers.get("content-type"), /^application\/manifest\+json/, "the manifest's type");
  const text = await response.text();
  let manifest;
  assert.doesNotThrow(() => { manifest = JSON.parse(text); }, "manifest.webmanifest is not JSON");
  for (const key of ["name", "short_name", "start_url", "display"])
    assert.equal(typeof manifest[key], "string", `the manifest has no ${key}`);
  assert.ok(Array.isArray(manifest.icons) && manifest.icons.length > 0, "the manifest names no icons");
  const sizes = new Set();
  for (const icon of manifest.icons) {
    const file = path.join(SITE, icon.src);
    assert.ok(fs.existsSync(file), `the manifest names ${icon.src}, which the site does not have`);
    const png = PNG.sync.read(fs.readFileSync(file));
    assert.equal(`${png.width}x${png.height}`, icon.sizes, `${icon.src} is not of the size the manifest says`);
    assert.equal(icon.type, "image/png", `${icon.src}'s type`);
    sizes.add(icon.sizes);
  }
  // What the browsers ask of an installable app.
  assert.ok(sizes.has("192x192") && sizes.has("512x512"), `icons of 192 and 512 pixels are missing: ${[...sizes]}`);
  // The icons the page itself links to are there too.
  const index = fs.readFileSync(path.join(SITE, "index.html"), "utf8");
  for (const [, href] of index.matchAll(/<link rel="(?:icon|apple-touch-icon)" href="([^"]+)"/g))
    assert.ok(fs.existsSync(path.join(SITE, href)), `index.html links to ${href}, which the site does not have`);
});

test("the service worker caches the site and the page starts offline", async () => {
  const page = await browser.newPage();
  await page.setViewport({ width: 768, height: 1024, deviceScaleFactor: 1, isMobile: true, hasTouch: true });
  const firstFrame = () =>
    page.waitForFunction(() => window.vitranePage && window.vitranePage.firstFrameTime > 0, { timeout: 30000, polling: 50 });
  await page.goto(site.url);
  await firstFrame();
  // Installed and in charge of the page; its cache holds every file.
  await page.waitForFunction(() => navigator.serviceWorker.ready.then(() => true), { timeout: 30000 });
  const cached = await page.evaluate(async () => {
    const names = await caches.keys();
    const files = [];
    for (const name of names.filter((n) => n.startsWith("vitrane-"))) {
      const cache = await caches.open(name);
      for (const request of await cache.keys()) files.push(new URL(request.url).pathname.slice(1));
    }
    return files;
  });
  const siteFiles = [];
  (function walk(sub) {
    for (const entry of fs.readdirSync(path.join(SITE, sub), { withFileTypes: true })) {
      const rel = sub ? `${sub}/${entry.name}` : entry.name;
      if (entry.isDirectory()) walk(rel);
      else if (rel !== "sw.js") siteFiles.push(rel);
    }
  })("");
  const missing = ["", ...siteFiles].filter((f) => !cached.includes(f));
  assert.deepEqual(missing, [], `the service worker's cache lacks these files of the site: ${missing}`);

  // A reload once the worker controls the page, then with no network and
  // no server at all.
  await page.reload();
  await firstFrame();
  assert.ok(await page.evaluate(() => navigator.serviceWorker.controller !== null),
            "the service worker does not control the page after a reload");
  await page.setOfflineMode(true);
  await site.close();
  site = null;
  const response = await page.reload();
  assert.ok(response === null || response.ok() || response.fromServiceWorker(),
            "the offline reload got no page");
  try {
    await firstFrame();
  } catch (e) {
    assert.fail(`offline, the page drew no picture: ${e.message}`);
  }
  const state = await page.evaluate(() => JSON.parse(Module.UTF8ToString(Module._vitrane_state())));
  assert.equal(state.screenWidth, 768, "the offline page's application did not start");
  await page.close();
});
