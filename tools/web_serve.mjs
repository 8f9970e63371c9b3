#!/usr/bin/env node
// Serves the built web site for trying it out: node tools/web_serve.mjs DIR PORT [HOST]
//
// Only node's own modules, so it runs wherever tools/web.sh builds. Every
// response says no-cache, so a rebuilt file shows on the next reload; the
// page's service worker does the caching that matters.

import fs from "node:fs";
import http from "node:http";
import path from "node:path";
import { fileURLToPath } from "node:url";

const TYPES = {
  ".html": "text/html; charset=utf-8",
  ".js": "text/javascript; charset=utf-8",
  ".mjs": "text/javascript; charset=utf-8",
  ".css": "text/css; charset=utf-8",
  ".json": "application/json",
  ".map": "application/json",
  ".webmanifest": "application/manifest+json",
  ".wasm": "application/wasm",
  ".data": "application/octet-stream",
  ".png": "image/png",
  ".jpg": "image/jpeg",
  ".jpeg": "image/jpeg",
  ".svg": "image/svg+xml",
  ".ico": "image/x-icon",
  ".wav": "audio/wav",
  ".aif": "audio/aiff",
  ".txt": "text/plain; charset=utf-8",
};

export function contentType(file) {
  return TYPES[path.extname(file).toLowerCase()] ?? "application/octet-stream";
}

// The file under root that a request target names, or an HTTP status when
// there is none: 400 for a target that is not a path or does not decode,
// 403 for one that tries to leave root. Dot-dot segments are refused rather
// than resolved, whether written plainly or percent-encoded.
export function resolveTarget(root, target) {
  let raw = target;
  if (/^[a-z][a-z0-9+.-]*:\/\//i.test(raw)) {
    try {
      raw = new URL(raw).pathname;
    } catch {
      return 400;
    }
  }
  raw = raw.replace(/[?#].*$/s, "");
  if (!raw.startsWith("/")) return 400;
  let decoded;
  try {
    decoded = decodeURIComponent(raw);
  } catch {
    return 400;
  }
  if (decoded.includes("\0")) return 400;
  const segments = decoded.split(/[/\\]+/);
  if (segments.includes("..")) return 403;
  const file = path.join(root, ...segments.filter((s) => s !== "" && s !== "."));
  return inside(root, file) ? file : 403;
}

function inside(root, file) {
  return file === root || file.startsWith(root.endsWith(path.sep) ? root : root + path.sep);
}

function send(res, status, text) {
  res.writeHead(status, {
    "Content-Type": "text/plain; charset=utf-8",
    "Content-Length": Buffer.byteLength(text),
    "Cache-Control": "no-cache",
  });
  res.end(text);
}

// Follows a directory to its index.html; a symbolic link that leads out of
// root is treated like a missing file.
function findFile(root, file) {
  let real;
  try {
    real = fs.realpathSync(file);
  } catch {
    return null;
  }
  if (!inside(root, real)) return null;
  let stat = fs.statSync(real);
  if (stat.isDirectory()) {
    real = path.join(real, "index.html");
    try {
      stat = fs.statSync(real);
    } catch {
      return null;
    }
  }
  return stat.isFile() ? { file: real, stat } : null;
}

export function createServer(dir) {
  const root = fs.realpathSync(dir);
  return http.createServer((req, res) => {
    if (req.method !== "GET" && req.method !== "HEAD") {
      res.setHeader("Allow", "GET, HEAD");
      send(res, 405, "method not allowed\n");
      return;
    }
    const target = resolveTarget(root, req.url);
    if (typeof target === "number") {
      send(res, target, target === 403 ? "forbidden\n" : "bad request\n");
      return;
    }
    const found = findFile(root, target);
    if (!found) {
      send(res, 404, "not found\n");
      return;
    }
    const { file, stat } = found;
    const etag = `"${stat.size.toString(16)}-${Math.floor(stat.mtimeMs).toString(16)}"`;
    const headers = {
      "Content-Type": contentType(file),
      "Cache-Control": "no-cache",
      "X-Content-Type-Options": "nosniff",
      ETag: etag,
    };
    if (req.headers["if-none-match"] === etag) {
      res.writeHead(304, headers);
      res.end();
      return;
    }
    headers["Content-Length"] = stat.size;
    if (req.method === "HEAD") {
      res.writeHead(200, headers);
      res.end();
      return;
    }
    const stream = fs.createReadStream(file);
    stream.on("open", () => {
      res.writeHead(200, headers);
      stream.pipe(res);
    });
    stream.on("error", () => {
      if (res.headersSent) res.destroy();
      else send(res, 404, "not found\n");
    });
  });
}

function main(argv) {
  const [dir, portText = "8080", host = "127.0.0.1"] = argv;
  const port = Number(portText);
  if (!dir || argv.length > 3 || !/^\d+$/.test(portText) || port > 65535) {
    console.error("usage: node tools/web_serve.mjs DIR PORT [HOST]");
    process.exit(2);
  }
  if (!fs.statSync(dir, { throwIfNoEntry: false })?.isDirectory()) {
    console.error(`web_serve: ${dir} is not a directory`);
    process.exit(1);
  }
  const server = createServer(dir);
  server.on("error", (err) => {
    console.error(`web_serve: cannot listen on ${host}:${port}: ${err.message}`);
    process.exit(1);
  });
  server.listen(port, host, () => {
    const shown = host.includes(":") ? `[${host}]` : host;
    console.log(`serving ${dir} on http://${shown}:${server.address().port}/`);
  });
  const stop = () => {
    server.close(() => process.exit(0));
    server.closeAllConnections();
  };
  process.on("SIGINT", stop);
  process.on("SIGTERM", stop);
}

if (process.argv[1] && fs.realpathSync(process.argv[1]) === fs.realpathSync(fileURLToPath(import.meta.url))) {
  main(process.argv.slice(2));
}
