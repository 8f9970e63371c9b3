// The site's offline copy: every file of the site is cached when the
// service worker installs, and served from the cache first, so the
// installed app starts without a network. tools/web.sh writes the list and
// the version (a hash of the files) below; a new version replaces the
// cache of the old one.
const SITE_VERSION = "dev";
const SITE_FILES = [];
const CACHE = "vitrane-" + SITE_VERSION;

self.addEventListener("install", (event) => {
  event.waitUntil(
    caches.open(CACHE).then((cache) => cache.addAll(SITE_FILES.length ? SITE_FILES : ["./"])).then(() => self.skipWaiting()));
});

self.addEventListener("activate", (event) => {
  event.waitUntil(
    caches.keys()
      .then((names) => Promise.all(names.filter((n) => n.startsWith("vitrane-") && n !== CACHE).map((n) => caches.delete(n))))
      .then(() => self.clients.claim()));
});

self.addEventListener("fetch", (event) => {
  const request = event.request;
  if (request.method !== "GET" || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith(
    caches.open(CACHE).then(async (cache) => {
      const cached = await cache.match(request, { ignoreSearch: true });
      if (cached) return cached;
      const response = await fetch(request);
      if (response.ok) cache.put(request, response.clone());
      return response;
    }));
});
