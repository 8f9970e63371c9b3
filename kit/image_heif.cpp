// HEIC and AVIF through libheif. Its container is read first, without
// decoding, so the pixel limit is checked before any pixel memory is
// taken. libheif decodes a picture only whole; where the file carries a
// thumbnail at least the size asked for, that is decoded instead.
#include <libheif/heif.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "kit/image_codec_parts.h"

namespace kit::codec {
namespace {

struct ContextDeleter {
  void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleDeleter {
  void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageDeleter {
  void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsDeleter {
  void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};
using Handle = std::unique_ptr<heif_image_handle, HandleDeleter>;

void initialiseOnce() {
  static std::once_flag once;
  // Loads libheif's codec plugins; it is never undone, since other threads
  // may be decoding at any time until the process ends.
  std::call_once(once, [] { heif_init(nullptr); });
}

// What the user can act on: a missing codec is the machine's, not the file's.
std::string describe(const heif_error& error, const std::uint8_t* data, std::size_t size) {
  if (error.code == heif_error_Unsupported_feature &&
      (error.subcode == heif_suberror_Unsupported_codec ||
       error.subcode == heif_suberror_Unsupported_image_type)) {
    const bool av1 = sniffImageFormat(data, size) == ImageFormat::Avif;
    const heif_compression_format codec = av1 ? heif_compression_AV1 : heif_compression_HEVC;
    if (!heif_have_decoder_for_format(codec))
      return std::string("this machine has no ") + (av1 ? "AV1" : "HEVC") + " decoder for libheif";
    return std::string("its codec is not one libheif can decode (") +
           (error.message ? error.message : "") + ")";
  }
  return error.message && *error.message ? error.message : "cannot decode";
}

// The smallest thumbnail that still covers the target (as shown, since
// libheif turns thumbnails upright too) and has the picture's shape.
Handle thumbnailCovering(heif_image_handle* primary, Dimensions target, int width, int height) {
  const int count = heif_image_handle_get_number_of_thumbnails(primary);
  if (count <= 0 || count > 16) return nullptr;
  heif_item_id ids[16];
  heif_image_handle_get_list_of_thumbnail_IDs(primary, ids, count);
  Handle best;
  for (int i = 0; i < count; ++i) {
    heif_image_handle* raw = nullptr;
    if (heif_image_handle_get_thumbnail(primary, ids[i], &raw).code != heif_error_Ok) continue;
    Handle candidate(raw);
    const int w = heif_image_handle_get_width(raw), h = heif_image_handle_get_height(raw);
    const bool covers = w >= target.width && h >= target.height && w < width && h < height;
    // Within a pixel of the picture's aspect: no stretched or cropped preview.
    const bool sameShape = std::abs(static_cast<double>(w) * height -
                                    static_cast<double>(h) * width) <= std::max(width, height);
    if (!covers || !sameShape) continue;
    if (!best || w < heif_image_handle_get_width(best.get())) best = std::move(candidate);
  }
  return best;
}

}  // namespace

bool decodeHeif(const std::uint8_t* data, std::size_t size, const DecodeOptions& options,
                FormatDecode& out) {
  initialiseOnce();
  std::unique_ptr<heif_context, ContextDeleter> context(heif_context_alloc());
  if (!context) {
    out.error = "out of memory";
    return false;
  }
  heif_error error = heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr);
  if (error.code != heif_error_Ok) {
    out.error = describe(error, data, size);
    return false;
  }
  heif_image_handle* primaryRaw = nullptr;
  error = heif_context_get_primary_image_handle(context.get(), &primaryRaw);
  if (error.code != heif_error_Ok) {
    out.error = describe(error, data, size);
    return false;
  }
  Handle primary(primaryRaw);
  // As shown: libheif's sizes already include the rotation boxes.
  const int width = heif_image_handle_get_width(primary.get());
  const int height = heif_image_handle_get_height(primary.get());
  if (width <= 0 || height <= 0) {
    out.error = "image has no pixels";
    return false;
  }
  if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > options.maxPixels) {
    out.error = tooManyPixels(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height),
                              options.maxPixels);
    return false;
  }
  out.target = storedTarget(width, height, ImageOrientation::Up, options.fitWithin);
  out.orientation = ImageOrientation::Up;

  Handle thumbnail = thumbnailCovering(primary.get(), out.target, width, height);
  heif_image_handle* chosen = thumbnail ? thumbnail.get() : primary.get();
  const int chosenWidth = heif_image_handle_get_width(chosen);
  const int chosenHeight = heif_image_handle_get_height(chosen);

  std::unique_ptr<heif_decoding_options, OptionsDeleter> decoding(heif_decoding_options_alloc());
  if (!decoding) {
    out.error = "out of memory";
    return false;
  }
  decoding->convert_hdr_to_8bit = 1;  // 10- and 12-bit pictures become 8-bit
  heif_image* imageRaw = nullptr;
  error = heif_decode_image(chosen, &imageRaw, heif_colorspace_RGB, heif_chroma_interleaved_RGBA,
                            decoding.get());
  std::unique_ptr<heif_image, ImageDeleter> image(imageRaw);
  if (error.code != heif_error_Ok) {
    out.error = describe(error, data, size);
    return false;
  }
  int stride = 0;
  const std::uint8_t* plane =
      heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
  const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
  if (!plane || w != chosenWidth || h != chosenHeight || stride < w * 4 ||
      heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) != 8) {
    out.error = "unexpected pixel layout from libheif";
    return false;
  }
  const bool premultiplied = heif_image_is_premultiplied_alpha(image.get()) != 0;
  std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * 4);
  auto straightRow = [&](int y) -> const std::uint8_t* {
    const std::uint8_t* in = plane + static_cast<std::size_t>(stride) * static_cast<std::size_t>(y);
    if (!premultiplied) return in;
    for (int x = 0; x < w; ++x) {
      const std::uint8_t* p = in + x * 4;
      std::uint8_t* o = row.data() + x * 4;
      const unsigned a = p[3];
      for (int c = 0; c < 3; ++c)
        o[c] = a ? static_cast<std::uint8_t>(std::min(255u, (p[c] * 255u + a / 2) / a)) : 0;
      o[3] = p[3];
    }
    return row.data();
  };
  // libheif holds the whole decoded picture already; reducing row by row
  // keeps a second full-size copy from being made beside it.
  if (w != out.target.width || h != out.target.height) {
    RowResampler resampler(w, h, out.target.width, out.target.height, PixelFormat::RGBA8);
    for (int y = 0; y < h; ++y) resampler.addRow(straightRow(y));
    out.bitmap = resampler.finish();
  } else {
    if (!allocatePixels(out.bitmap, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h),
                        PixelFormat::RGBA8)) {
      out.error = "out of memory";
      return false;
    }
    for (int y = 0; y < h; ++y)
      std::memcpy(out.bitmap.row(y), straightRow(y), out.bitmap.rowBytes());
  }
  return true;
}

}  // namespace kit::codec
