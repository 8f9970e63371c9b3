// Decode times of the kit's image path, for comparing the browser build
// (WebAssembly, run under node) with the native one on the same machine:
// the same program is built both ways (tools/web_bench.sh). Google
// Benchmark is not built for wasm, so this times with the clock itself and
// prints one JSON object: the median of its runs for each case, in ms.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "kit/image_codec.h"
#include "kit/posix_io.h"
#include "kit/photo_library.h"

namespace {

double medianMs(int runs, const std::function<void()>& work) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// A camera-sized photo with some detail, as the native benchmarks make it.
std::vector<std::uint8_t> cameraPhoto() {
  constexpr int width = 4000, height = 3000;
  kit::Bitmap picture = kit::Bitmap::make(width, height, kit::PixelFormat::RGBA8);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = picture.row(y);
    for (int x = 0; x < width; ++x) {
      row[4 * x + 0] = static_cast<std::uint8_t>(x * 7 + y * 3);
      row[4 * x + 1] = static_cast<std::uint8_t>(x ^ y);
      row[4 * x + 2] = static_cast<std::uint8_t>(y / 12 + (x / 50) * 9);
      row[4 * x + 3] = 255;
    }
  }
  return kit::encodeJpeg(picture, 88, 6).valueOr({});  // turned, as phones store portraits
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: decode_timing RESOURCES_DIR\n");
    return 2;
  }
  const std::vector<std::uint8_t> wood =
      kit::readWholeFile(std::string(argv[1]) + "/WoodGrain1200x900.jpg").valueOr({});
  if (wood.empty()) {
    std::fprintf(stderr, "decode_timing: no WoodGrain1200x900.jpg in %s\n", argv[1]);
    return 1;
  }
  const std::vector<std::uint8_t> photo = cameraPhoto();
  auto woodDecoded = kit::decodeImage(wood.data(), wood.size());
  if (!woodDecoded) {
    std::fprintf(stderr, "decode_timing: %s\n", woodDecoded.error().message.c_str());
    return 1;
  }
  const std::vector<std::uint8_t> woodPng = kit::encodePng(*woodDecoded->bitmap).valueOr({});

  kit::DecodeOptions displaySized;
  displaySized.fitWithin = kit::kFullScreenImageSize;
  displaySized.applyOrientationToPixels = true;
  bool ok = true;
  auto decode = [&ok](const std::vector<std::uint8_t>& bytes, const kit::DecodeOptions& options) {
    ok = kit::decodeImage(bytes.data(), bytes.size(), options).ok() && ok;
  };
  const double woodJpeg = medianMs(15, [&] { decode(wood, {}); });
  const double woodPngMs = medianMs(15, [&] { decode(woodPng, {}); });
  const double photoDisplay = medianMs(7, [&] { decode(photo, displaySized); });
  const double photoFull = medianMs(3, [&] { decode(photo, {}); });
  std::printf(
      "{\"texture_jpeg_1200x900_ms\": %.2f, \"texture_png_1200x900_ms\": %.2f, "
      "\"photo_12mp_display_sized_ms\": %.2f, \"photo_12mp_full_size_ms\": %.2f, \"all_decoded\": "
      "%s}\n",
      woodJpeg, woodPngMs, photoDisplay, photoFull, ok ? "true" : "false");
  return ok ? 0 : 1;
}
