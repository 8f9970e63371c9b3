// Today's photo formats: one 12-megapixel picture stored as JPEG, WebP and
// HEIC, each decoded to the size the photo library shows (inside 768 ×
// 1024) in the same run, so their times compare directly.
#include <benchmark/benchmark.h>
#include <libheif/heif.h>
#include <webp/encode.h>

#include <cstdint>
#include <string>
#include <vector>

#include "kit/image_codec.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;  // 12 megapixels

kit::Bitmap cameraLikePicture() {
  kit::Bitmap picture = kit::Bitmap::make(kWidth, kHeight, kit::PixelFormat::RGBA8);
  for (int y = 0; y < kHeight; ++y) {
    std::uint8_t* row = picture.row(y);
    for (int x = 0; x < kWidth; ++x) {
      row[4 * x + 0] = static_cast<std::uint8_t>(x * 7 + y * 3);
      row[4 * x + 1] = static_cast<std::uint8_t>(x ^ y);
      row[4 * x + 2] = static_cast<std::uint8_t>(y / 12 + (x / 50) * 9);
      row[4 * x + 3] = 255;
    }
  }
  return picture;
}

heif_error appendTo(heif_context*, const void* data, std::size_t size, void* userdata) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(userdata);
  out->insert(out->end(), static_cast<const std::uint8_t*>(data),
              static_cast<const std::uint8_t*>(data) + size);
  return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

// The same picture in each format, made once (the HEIC takes seconds).
struct Files {
  std::vector<std::uint8_t> jpeg, webp, heic;
  Files() {
    const kit::Bitmap picture = cameraLikePicture();
    jpeg = kit::encodeJpeg(picture, 88).valueOr({});
    std::uint8_t* out = nullptr;
    const std::size_t size = WebPEncodeRGBA(picture.pixels.data(), kWidth, kHeight,
                                            static_cast<int>(picture.rowBytes()), 88, &out);
    webp.assign(out, out + size);
    WebPFree(out);

    heif_init(nullptr);
    heif_context* ctx = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    if (heif_context_get_encoder_for_format(ctx, heif_compression_HEVC, &encoder).code ==
        heif_error_Ok) {
      heif_encoder_set_lossy_quality(encoder, 88);
      heif_encoder_set_parameter(encoder, "preset", "ultrafast");
      heif_image* image = nullptr;
      heif_image_create(kWidth, kHeight, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
      heif_image_add_plane(image, heif_channel_interleaved, kWidth, kHeight, 8);
      int stride = 0;
      std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
      for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
          for (int c = 0; c < 3; ++c) plane[y * stride + x * 3 + c] = picture.row(y)[x * 4 + c];
      heif_image_handle* handle = nullptr;
      if (heif_context_encode_image(ctx, image, encoder, nullptr, &handle).code == heif_error_Ok) {
        heif_writer writer{1, appendTo};
        heif_context_write(ctx, &writer, &heic);
        heif_image_handle_release(handle);
      }
      heif_image_release(image);
      heif_encoder_release(encoder);
    }
    heif_context_free(ctx);
  }
};

const Files& files() {
  static const Files f;
  return f;
}

void decodeDisplaySized(benchmark::State& state, const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) {
    state.SkipWithError("no encoder for this format here");
    return;
  }
  kit::DecodeOptions options;
  options.fitWithin = {768, 1024};
  options.applyOrientationToPixels = true;
  for (auto _ : state) {
    const auto result = kit::decodeImage(bytes.data(), bytes.size(), options);
    if (!result) {
      state.SkipWithError(result.error().message.c_str());
      return;
    }
    benchmark::DoNotOptimize(result->bitmap->pixels.data());
  }
  state.counters["file_MB"] = static_cast<double>(bytes.size()) / 1e6;
}

void BM_DecodeDisplaySized12MP_JPEG(benchmark::State& state) {
  decodeDisplaySized(state, files().jpeg);
}
void BM_DecodeDisplaySized12MP_WebP(benchmark::State& state) {
  decodeDisplaySized(state, files().webp);
}
void BM_DecodeDisplaySized12MP_HEIC(benchmark::State& state) {
  decodeDisplaySized(state, files().heic);
}

BENCHMARK(BM_DecodeDisplaySized12MP_JPEG)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(BM_DecodeDisplaySized12MP_WebP)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(BM_DecodeDisplaySized12MP_HEIC)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

}  // namespace
