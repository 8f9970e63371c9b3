#!/usr/bin/env bash
# Installs what Vitrane needs to build and test, from Debian's packages.
# Safe to run again: apt-get runs only when something is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libjpeg62-turbo-dev libpng-dev nlohmann-json3-dev
  # WebP, and HEIC and AVIF through libheif (Debian's has its HEVC and AV1
  # decoders and encoders built in)
  libwebp-dev libheif-dev
  libgtest-dev libbenchmark-dev
  # drawing: GL ES through EGL on Mesa (software rendering where there is
  # no GPU), text through FreeType with the DejaVu fonts
  libegl-dev libgles-dev libegl-mesa0 libgl1-mesa-dri libfreetype-dev fonts-dejavu-core
  # the desktop window and its sounds; Xvfb for its smoke test
  libsdl2-dev libsdl2-mixer-dev xvfb xauth
  # the reference renderer the drawing benchmark compares against
  libcairo2-dev
  # the code's layout, checked by a test (tools/format.sh)
  clang-format
)
# Extras for the tools that are not part of the build and test run:
#   tools/setup.sh fuzz    clang and its libFuzzer/sanitizer runtimes (tools/fuzz.sh)
#   tools/setup.sh bench   python3, which writes docs/PERFORMANCE.md (tools/bench.sh)
#   tools/setup.sh package what builds and checks the Debian package (tools/package.sh)
for extra in "$@"; do
  case "$extra" in
    fuzz) packages+=(clang libclang-rt-14-dev) ;;
    bench) packages+=(python3) ;;
    package) packages+=(dpkg-dev lintian appstream desktop-file-utils) ;;
    *) echo "setup: unknown extra '$extra' (fuzz, bench, package)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  echo "setup: everything is installed"
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=()
if ((EUID != 0)); then
  command -v sudo >/dev/null || { echo "setup: need root (or sudo) to install ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
