#!/usr/bin/env bash
# Builds the C libraries of the browser build (zlib, libpng, libjpeg-turbo,
# FreeType) as static wasm libraries from Debian's own source packages, and
# installs them into OUT/prefix/{include,lib}.
#
#   tools/web_deps.sh [OUT]        OUT defaults to build-web/deps
#
# emscripten's "ports" would download these from elsewhere; Debian's sources
# carry Debian's security patches and are reachable wherever apt is. The
# sources come through apt with a private source list and private state
# under OUT/apt, so the system's apt configuration is never touched.
#
# Safe to run again: a library whose stamp (its pinned version, the flags
# and its build recipe) matches is skipped without going to the network.
#
# VITRANE_WEB_CFLAGS adds compiler flags to every library (they must match
# the application's ABI choices, e.g. -pthread); changing it rebuilds all.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/build-web/deps}")

# Pinned to what bookworm's main suite serves. bookworm-security lists newer
# zlib and libpng builds, but their source files answered 404 from
# deb.debian.org when these pins were chosen; add the suite below to move a
# pin there. The stamp change rebuilds that library (and libpng and
# FreeType when zlib moves).
suites=(bookworm)
zlib_version=1:1.2.13.dfsg-1
png_version=1.6.39-2+deb12u5
jpeg_version=1:2.1.5-2
freetype_version=2.12.1+dfsg-5+deb12u4

cflags="-O2 ${VITRANE_WEB_CFLAGS:-}"
cflags=${cflags% }
jobs=2

say() { echo "web_deps: $*"; }
die() { echo "web_deps: $*" >&2; exit 1; }

# --- tools -----------------------------------------------------------------
source "$(dirname "$0")/install_missing.sh"
needs=(
  emscripten:emcc emscripten:emcmake cmake:cmake ninja-build:ninja
  dpkg-dev:dpkg-source nlohmann-json3-dev:/usr/include/nlohmann/json.hpp
)
install_missing web_deps "${needs[@]}"
# Debian's emscripten finds its JavaScript helpers only through NODE_PATH.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}

prefix=$out/prefix src=$out/src build=$out/build stamps=$out/stamps logs=$out/logs
mkdir -p "$prefix/include" "$prefix/lib" "$src" "$build" "$stamps" "$logs"

# nlohmann/json on an include path of its own: adding /usr/include to the
# wasm build would put glibc's headers in front of emscripten's libc.
mkdir -p "$out/include-extra"
ln -sfn /usr/include/nlohmann "$out/include-extra/nlohmann"

# --- fetching ----------------------------------------------------------------
apt_dir=$out/apt
apt_opts=(
  -o Dir::Etc::SourceList="$apt_dir/sources.list"
  -o Dir::Etc::SourceParts=/dev/null
  -o Dir::State::Lists="$apt_dir/lists"
  -o Dir::Cache="$apt_dir/cache"
)
# As root apt hands downloads to its _apt user, which cannot write into
# OUT; the files are checked against the signed indexes either way.
((EUID == 0)) && apt_opts+=(-o APT::Sandbox::User=root)
apt_updated=0

apt_update() {
  ((apt_updated)) && return
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
  : >"$apt_dir/sources.list"
  for suite in "${suites[@]}"; do
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $suite main" \
      >>"$apt_dir/sources.list"
  done
  # apt-get update exits 0 when an index fails to download; the warning
  # lines are the only sign of it.
  if ! apt-get "${apt_opts[@]}" update >"$logs/apt-update.log" 2>&1 \
    || grep -qE '^(E|W): ' "$logs/apt-update.log"; then
    die "cannot read Debian's source indexes from deb.debian.org (log: $logs/apt-update.log)"
  fi
  apt_updated=1
}

# fetch SOURCE VERSION DIR: unpacks Debian's source package, patches
# applied, into a fresh DIR. Files already downloaded are used again:
# dpkg-source checks them against the .dsc, and a failed check fetches anew.
fetch() {
  local pkg=$1 version=$2 dir=$3
  local dsc=$src/${pkg}_${version#*:}.dsc
  rm -rf "$dir"
  [[ -f $dsc ]] && dpkg-source -x "$dsc" "$dir" >"$logs/$pkg-unpack.log" 2>&1 && return
  rm -rf "$dir"
  apt_update
  (cd "$src" && apt-get "${apt_opts[@]}" source --download-only "$pkg=$version") >"$logs/$pkg-fetch.log" 2>&1 \
    || die "cannot fetch source package $pkg=$version from Debian (log: $logs/$pkg-fetch.log)"
  dpkg-source -x "$dsc" "$dir" >"$logs/$pkg-unpack.log" 2>&1 \
    || die "cannot unpack $dsc (log: $logs/$pkg-unpack.log)"
}

# --- building ------------------------------------------------------------------
emcmake_opts=(
  -G Ninja
  -DCMAKE_BUILD_TYPE=Release
  "-DCMAKE_C_FLAGS_RELEASE=$cflags -DNDEBUG"
  -DCMAKE_INSTALL_PREFIX="$prefix"
  -DBUILD_SHARED_LIBS=OFF
)

# build NAME SOURCE VERSION LIBRARY [STAMP-EXTRA]: unpacks Debian's SOURCE
# package into OUT/build/NAME and runs build_NAME there, unless the stamp of
# the same content is there and the library is installed. The stamp holds
# the version, the flags and a digest of build_NAME, so editing the recipe
# rebuilds too.
build() {
  local name=$1 package=$2 version=$3 library=$4 extra=${5:-}
  local stamp=$stamps/$name want recipe
  recipe=$(declare -f "build_$name" | sha256sum | cut -c1-16)
  want=$(printf 'version=%s\ncflags=%s\nrecipe=%s\n%s' "$version" "$cflags" "$recipe" "$extra")
  if [[ -f $stamp && $(<"$stamp") == "$want" && -f $prefix/lib/$library ]]; then
    say "$name $version is built (skipped)"
    return
  fi
  rm -f "$stamp"
  local dir=$build/$name start=$SECONDS rc
  fetch "$package" "$version" "$dir"
  local fetched=$SECONDS
  # A subshell outside any || list, so that errexit holds inside it.
  set +e
  (set -e; cd "$dir"; "build_$name") >"$logs/$name-build.log" 2>&1
  rc=$?
  set -e
  if ((rc != 0)); then
    tail -n 25 "$logs/$name-build.log" >&2
    die "building $name $version failed (log: $logs/$name-build.log)"
  fi
  [[ -f $prefix/lib/$library ]] || die "building $name $version installed no $library (log: $logs/$name-build.log)"
  printf '%s\n' "$want" >"$stamp"
  say "$name $version built in $((SECONDS - fetched)) s (sources ready in $((fetched - start)) s)"
}

build_zlib() {
  # Exactly what ./configure does to the installed header: a consumer that
  # does not define HAVE_UNISTD_H would otherwise see a 32-bit z_off_t
  # where the library was built with a 64-bit one.
  sed -i -e 's/^#ifdef HAVE_UNISTD_H.* may be/#if 1 \/* was/' \
         -e 's/^#ifdef HAVE_STDARG_H.* may be/#if 1 \/* was/' zconf.h
  grep -q '^#if 1 /\* was set to #if 1 by ./configure' zconf.h || { echo "zconf.h has changed shape" >&2; return 1; }
  local sources=(adler32 compress crc32 deflate gzclose gzlib gzread gzwrite
                 infback inffast inflate inftrees trees uncompr zutil)
  # shellcheck disable=SC2086 # cflags is a list of flags
  printf '%s\n' "${sources[@]}" | xargs -P "$jobs" -I{} emcc $cflags -DHAVE_UNISTD_H -DHAVE_STDARG_H -c {}.c -o {}.o
  rm -f libz.a
  emar rcs libz.a "${sources[@]/%/.o}"
  install -m 644 libz.a "$prefix/lib/"
  install -m 644 zlib.h zconf.h "$prefix/include/"
}

build_png() {
  emcmake cmake -S . -B build "${emcmake_opts[@]}" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DPNG_HARDWARE_OPTIMIZATIONS=OFF \
    -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a"
  cmake --build build -j "$jobs"
  cmake --install build
}

build_jpeg() {
  # The libjpeg 6.2 API only: no SIMD (there is none for wasm), no
  # TurboJPEG, and the library alone rather than its command-line tools.
  emcmake cmake -S . -B build "${emcmake_opts[@]}" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
    -DSIZE_T=4 -DUNSIGNED_LONG=4
  cmake --build build -j "$jobs" --target jpeg-static
  install -m 644 build/libjpeg.a "$prefix/lib/"
  install -m 644 build/jconfig.h jerror.h jmorecfg.h jpeglib.h "$prefix/include/"
}

build_freetype() {
  # FreeType's own copy of inflate exports zlib's names and would collide
  # with libz.a at link time, so it inflates (WOFF, gzip) through libz.a;
  # nothing else optional.
  emcmake cmake -S . -B build "${emcmake_opts[@]}" \
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON -DFT_DISABLE_BZIP2=ON \
    -DFT_DISABLE_PNG=ON -DFT_REQUIRE_ZLIB=ON \
    -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a"
  cmake --build build -j "$jobs"
  cmake --install build
}

build zlib zlib "$zlib_version" libz.a
build png libpng1.6 "$png_version" libpng16.a "zlib=$zlib_version"
build jpeg libjpeg-turbo "$jpeg_version" libjpeg.a
build freetype freetype "$freetype_version" libfreetype.a "zlib=$zlib_version"
say "libraries in $prefix"
