#!/usr/bin/env bash
# Makes the committed picture fixtures that the tests cannot make with the
# libraries they link: Debian 12's libheif cannot encode a 10-bit AVIF (its
# AV1 encoder aborts), so that one is made by libavif's avifenc from the
# project's own menu icon. Needs libavif-bin (apt-get install libavif-bin).
#
#   bash tools/make_format_fixtures.sh   # writes tests/data/formats/
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/tests/data/formats
mkdir -p "$out"
icon=$root/resources/icons/hicolor/64x64/apps/com.quillfen.Vitrane.png
avifenc --depth 10 --yuv 420 --speed 10 --min 10 --max 20 "$icon" "$out/icon-10bit.avif" >/dev/null
echo "wrote $out/icon-10bit.avif ($(stat -c %s "$out/icon-10bit.avif") bytes) from ${icon#"$root"/}"
