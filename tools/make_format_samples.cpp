// Writes small WebP, HEIC and AVIF files, made with the libraries' own
// encoders, into a folder: the image fuzzer's seeds for those formats
// (fuzz/corpus/image/) are made with it:
//
//   build/vitrane_format_samples fuzz/corpus/image
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/photo_formats.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vitrane_format_samples FOLDER\n");
    return 2;
  }
  const std::filesystem::path out = argv[1];
  using namespace phototest;
  auto write = [&](const char* name, const Bytes& bytes) {
    if (bytes.empty()) {
      std::fprintf(stderr, "vitrane_format_samples: no encoder for %s here\n", name);
      return;
    }
    writeBytes(out / name, bytes);
    std::printf("wrote %s (%zu bytes)\n", (out / name).c_str(), bytes.size());
  };
  write("lossy.webp", webpBytes(24, 16));
  write("lossless_alpha.webp", webpBytes(solid(12, 8, 10, 200, 30, 100), true));
  write("exif6.webp", webpWithExif(gradient(16, 8), 6));
  write("animated.webp",
        animatedWebp(16, 16, {{solid(8, 8, 200, 0, 0), 8, 0}, {solid(16, 16, 0, 0, 200), 0, 0}}));
  write("small.heic", heifBytes(16, 12));
  write("deep10.heic", heifBytes(16, 12, {heif_compression_HEVC, 10}));
  write("turned.heic",
        heifBytes(gradient(16, 8), {heif_compression_HEVC, 8, heif_orientation_rotate_90_cw}));
  write("small.avif", heifBytes(16, 12, {heif_compression_AV1}));
  return 0;
}
