// Tests of tools/web_serve.mjs: node --test tools/web_serve_test.mjs
// Each run serves its own temporary folder on a port the system picks.

import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import fs from "node:fs";
import net from "node:net";
import os from "node:os";
import path from "node:path";
import { after, before, test } from "node:test";
import { fileURLToPath } from "node:url";

const script = path.join(path.dirname(fileURLToPath(import.meta.url)), "web_serve.mjs");
const parent = fs.mkdtempSync(path.join(os.tmpdir(), "web-serve-test-"));
const site = path.join(parent, "site");
let server;
let port;

// The raw request line, so no client tidies the path up before sending it.
function request(target, method = "GET") {
  return new Promise((resolve, reject) => {
    const socket = net.connect(port, "127.0.0.1", () => {
      socket.write(`${method} ${target} HTTP/1.1\r\nHost: test\r\nConnection: close\r\n\r\n`);
    });
    let text = "";
    socket.setEncoding("latin1");
    socket.on("data", (chunk) => (text += chunk));
    socket.on("error", reject);
    socket.on("end", () => {
      const [head, ...body] = text.split("\r\n\r\n");
      const [statusLine, ...lines] = head.split("\r\n");
      const headers = Object.fromEntries(lines.map((l) => [l.slice(0, l.indexOf(":")).toLowerCase(), l.slice(l.indexOf(":") + 1).trim()]));
      resolve({ status: Number(statusLine.split(" ")[1]), headers, body: body.join("\r\n\r\n") });
    });
  });
}

before(async () => {
  fs.mkdirSync(path.join(site, "icons"), { recursive: true });
  const files = {
    "index.html": "<p>page</p>", "vitrane.js": "js", "vitrane.wasm": "\0asm", "vitrane.data": "data",
    "manifest.webmanifest": "{}", "icons/icon-192.png": "png", "site.json": "{}", "tick.wav": "RIFF",
  };
  for (const [name, text] of Object.entries(files)) fs.writeFileSync(path.join(site, name), text);
  fs.writeFileSync(path.join(parent, "secret.txt"), "secret");
  fs.symlinkSync(path.join(parent, "secret.txt"), path.join(site, "outside.txt"));

  server = spawn(process.execPath, [script, site, "0"], { stdio: ["ignore", "pipe", "inherit"] });
  const line = await new Promise((resolve) => {
    let out = "";
    server.stdout.on("data", (chunk) => {
      out += chunk;
      if (out.includes("\n")) resolve(out.split("\n")[0]);
    });
  });
  const match = line.match(/^serving (.+) on http:\/\/127\.0\.0\.1:(\d+)\/$/);
  assert.ok(match, line);
  assert.equal(match[1], site);
  port = Number(match[2]);
  assert.ok(port > 0);
});

after(() => fs.rmSync(parent, { recursive: true, force: true }));

test("each kind of file goes out with its type, uncached, and / is the page", async () => {
  const expected = {
    "/": "text/html; charset=utf-8", "/vitrane.js": "text/javascript; charset=utf-8",
    "/vitrane.wasm": "application/wasm", "/vitrane.data": "application/octet-stream",
    "/manifest.webmanifest": "application/manifest+json", "/icons/icon-192.png": "image/png",
    "/site.json": "application/json", "/tick.wav": "audio/wav", "/index.html?v=2": "text/html; charset=utf-8",
  };
  for (const [target, type] of Object.entries(expected)) {
    const res = await request(target);
    assert.equal(res.status, 200, target);
    assert.equal(res.headers["content-type"], type, target);
    assert.equal(res.headers["cache-control"], "no-cache", target);
  }
  assert.equal((await request("/")).body, "<p>page</p>");
  const head = await request("/vitrane.data", "HEAD");
  assert.equal(head.headers["content-length"], "4");
  assert.equal(head.body, "");
  assert.equal((await request("/", "POST")).status, 405);
});

test("missing files are 404 and nothing outside the folder is reachable", async () => {
  assert.equal((await request("/nothing.js")).status, 404);
  assert.equal((await request("/icons/")).status, 404); // no listing
  assert.equal((await request("/outside.txt")).status, 404); // link out of the folder
  for (const target of ["/../secret.txt", "/%2e%2e/secret.txt", "/icons/%2E%2E/%2e%2e/secret.txt",
                        "/..%2fsecret.txt", "/..%5csecret.txt"]) {
    const res = await request(target);
    assert.equal(res.status, 403, target);
    assert.ok(!res.body.includes("secret"), target);
  }
  // An absolute path names a file inside the folder, never the system's.
  assert.equal((await request("//etc/passwd")).status, 404);
  assert.equal((await request("/%2Fetc%2Fpasswd")).status, 404);
  assert.equal((await request(`http://test/${encodeURIComponent(parent)}/secret.txt`)).status, 404);
  for (const target of ["secret.txt", "/%00", "/%zz"]) assert.equal((await request(target)).status, 400, target);
});

test("SIGTERM ends the server with status 0", async () => {
  const exited = new Promise((resolve) => server.on("exit", (code, signal) => resolve({ code, signal })));
  server.kill("SIGTERM");
  assert.deepEqual(await exited, { code: 0, signal: null });
});
