#!/usr/bin/env bash
# Builds the browser version of Vitrane into the static site build-web/site.
#
#   tools/web.sh                       build the site
#   tools/web.sh --serve               ... then serve it on http://127.0.0.1:8080/
#   tools/web.sh --serve --host 0.0.0.0  ... on every address (the LAN)
#
# VITRANE_WEB_PORT picks another port (0: any free one). Installs what is
# missing from Debian first, as tools/setup.sh does.
set -euo pipefail

serve=0
host=127.0.0.1
port=${VITRANE_WEB_PORT:-8080}
usage="usage: tools/web.sh [--serve] [--host ADDRESS]"
while (($#)); do
  case "$1" in
    --serve) serve=1 ;;
    --host) (($# >= 2)) || { echo "$usage" >&2; exit 2; }; host=$2; serve=1; shift ;;
    --host=*) host=${1#--host=}; serve=1 ;;
    -h|--help) echo "$usage"; exit 0 ;;
    *) echo "web: unknown argument '$1'" >&2; echo "$usage" >&2; exit 2 ;;
  esac
  shift
done
if ! [[ $port =~ ^[0-9]+$ ]] || ((port > 65535)); then
  echo "web: VITRANE_WEB_PORT must be a port number, not '$port'" >&2
  exit 2
fi

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
out=$root/build-web
site=$out/site

# --- what the build needs --------------------------------------------------------
source tools/install_missing.sh
needs=(
  emscripten:emcc emscripten:emcmake nodejs:node npm:npm
  nlohmann-json3-dev:/usr/include/nlohmann/json.hpp ninja-build:ninja cmake:cmake
  dpkg-dev:dpkg-source gzip:gzip
)
install_missing web "${needs[@]}"
# Debian's emscripten finds its JavaScript helpers only through NODE_PATH.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}

# --- libraries and the program ------------------------------------------------------
bash tools/web_deps.sh "$out/deps"
emcmake cmake -S . -B "$out/cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVITRANE_WEB_DEPS="$out/deps"
cmake --build "$out/cmake" --target vitrane-web -j 2

# --- the site ------------------------------------------------------------------
# Put together beside the old one and swapped in whole, so a server that is
# running never hands out half of a build.
next=$out/site.next
rm -rf "$next"
mkdir -p "$next/icons"
if [[ -d hosts/web/page ]]; then
  cp -R hosts/web/page/. "$next/"
else
  echo "web: warning: hosts/web/page is missing; the site has no page" >&2
fi
for f in vitrane.js vitrane.wasm vitrane.data; do
  [[ -f $out/cmake/$f ]] || { echo "web: the build made no $out/cmake/$f" >&2; exit 1; }
  cp "$out/cmake/$f" "$next/"
done
cp resources/web/*.png "$next/icons/"

# The service worker caches the site's files for offline use and replaces
# its cache when the version changes: the version is a digest of every file
# (the worker as written included), the list every file but the worker.
if [[ -f $next/sw.js ]]; then
  version=$(cd "$next" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum | sha256sum | cut -c1-16)
  node - "$next" "$version" <<'EOF'
const fs = require("fs");
const path = require("path");
const [dir, version] = process.argv.slice(2);
const files = [];
(function walk(sub) {
  for (const entry of fs.readdirSync(path.join(dir, sub), { withFileTypes: true })) {
    const rel = sub ? `${sub}/${entry.name}` : entry.name;
    if (entry.isDirectory()) walk(rel);
    else if (rel !== "sw.js") files.push(rel);
  }
})("");
files.sort();
const sw = path.join(dir, "sw.js");
let text = fs.readFileSync(sw, "utf8");
const replace = (line, by) => {
  const lines = text.split("\n");
  const at = lines.findIndex((l) => l.trim() === line);
  if (at < 0) {
    console.error(`web: sw.js has no line '${line}' to fill in`);
    process.exit(1);
  }
  lines[at] = lines[at].replace(line, by);
  text = lines.join("\n");
};
// "./" too: the page is asked for by its folder's address.
replace("const SITE_FILES = [];", `const SITE_FILES = ${JSON.stringify(["./", ...files])};`);
replace('const SITE_VERSION = "dev";', `const SITE_VERSION = ${JSON.stringify(version)};`);
fs.writeFileSync(sw, text);
EOF
else
  echo "web: warning: no hosts/web/page/sw.js; the site works online only" >&2
fi
rm -rf "$site"
mv "$next" "$site"

echo "web: site in $site"
total=0
for f in vitrane.wasm vitrane.js vitrane.data; do
  raw=$(stat -c %s "$site/$f")
  gz=$(gzip -9 -c "$site/$f" | wc -c)
  total=$((total + gz))
  printf 'web:   %-13s %10d bytes, %10d gzip-compressed\n' "$f" "$raw" "$gz"
done
printf 'web:   %-13s %10s        %10d gzip-compressed\n' "together" "" "$total"

((serve)) || exit 0

# --- serving --------------------------------------------------------------
shown=$port
((port == 0)) && shown=PORT
echo
echo "Motion sensors work only in a secure context: https, or http://localhost."
if [[ $host == 127.0.0.1 || $host == localhost || $host == ::1 ]]; then
  cat <<EOF
To try it on a phone:
  Android on USB:  adb reverse tcp:$shown tcp:$shown
                   then open http://localhost:$shown/ on the phone (counts as secure)
  any phone:       publish $site on any static https host and open it there
EOF
  [[ $shown == PORT ]] && echo "  (PORT: the one printed below)"
else
  echo "Listening on $host: from the LAN open one of"
  for a in $(hostname -I 2>/dev/null); do
    [[ $a == *:* ]] && a="[$a]"
    echo "  http://$a:$shown/"
  done
  cat <<EOF
but plain http on a LAN address is NOT a secure context: the page loads,
the motion sensors stay off. For sensors use adb reverse (Android on USB,
then http://localhost:$shown/) or publish $site on an https host.
EOF
fi
echo
exec node tools/web_serve.mjs "$site" "$port" "$host"
