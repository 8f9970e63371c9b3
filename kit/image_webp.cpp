// WebP through libwebp. The demuxer reads the container (canvas size,
// EXIF, frames) without decoding anything, so the pixel limit is checked
// and the target size known before any pixel memory is taken; the first
// frame is then decoded straight to that size by libwebp's own scaler.
#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "kit/image_codec_parts.h"

namespace kit::codec {
namespace {

struct DemuxDeleter {
  void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};

const char* statusText(VP8StatusCode status) {
  switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY: return "out of memory";
    case VP8_STATUS_INVALID_PARAM: return "invalid parameter";
    case VP8_STATUS_BITSTREAM_ERROR: return "damaged picture data";
    case VP8_STATUS_UNSUPPORTED_FEATURE: return "unsupported feature";
    case VP8_STATUS_SUSPENDED:
    case VP8_STATUS_NOT_ENOUGH_DATA: return "the file is cut off";
    default: return "cannot decode";
  }
}

// Where a frame of the canvas lands in the reduced canvas: the same
// fractions of its sides, at least a pixel, inside the target.
struct Placement {
  int x = 0, y = 0, width = 0, height = 0;
};

Placement placed(int x, int y, int width, int height, int canvasWidth, int canvasHeight,
                 Dimensions target) {
  const double sx = static_cast<double>(target.width) / canvasWidth;
  const double sy = static_cast<double>(target.height) / canvasHeight;
  Placement p;
  p.x = std::clamp(static_cast<int>(std::lround(x * sx)), 0, target.width - 1);
  p.y = std::clamp(static_cast<int>(std::lround(y * sy)), 0, target.height - 1);
  const int right =
      std::clamp(static_cast<int>(std::lround((x + width) * sx)), p.x + 1, target.width);
  const int bottom =
      std::clamp(static_cast<int>(std::lround((y + height) * sy)), p.y + 1, target.height);
  p.width = right - p.x;
  p.height = bottom - p.y;
  return p;
}

}  // namespace

bool decodeWebp(const std::uint8_t* data, std::size_t size, const DecodeOptions& options,
                FormatDecode& out) {
  const WebPData whole{data, size};
  std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&whole));
  if (!demux) {
    out.error = "damaged or cut-off file";
    return false;
  }
  const std::uint32_t canvasWidth = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
  const std::uint32_t canvasHeight = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
  if (canvasWidth == 0 || canvasHeight == 0) {
    out.error = "image has no pixels";
    return false;
  }
  if (std::uint64_t{canvasWidth} * canvasHeight > options.maxPixels) {
    out.error = tooManyPixels(canvasWidth, canvasHeight, options.maxPixels);
    return false;
  }

  const std::uint32_t flags = WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS);
  if (flags & EXIF_FLAG) {
    WebPChunkIterator chunk;
    if (WebPDemuxGetChunk(demux.get(), "EXIF", 1, &chunk)) {
      // Writers disagree on whether the chunk starts with JPEG's "Exif\0\0".
      const std::uint8_t* body = chunk.chunk.bytes;
      const std::size_t length = chunk.chunk.size;
      const int tag = length >= 6 && std::memcmp(body, "Exif\0\0", 6) == 0
                          ? exifOrientation(body, length)
                          : tiffOrientation(body, length);
      out.orientation = orientationFromExif(tag);
      WebPDemuxReleaseChunkIterator(&chunk);
    }
  }

  const int width = static_cast<int>(canvasWidth), height = static_cast<int>(canvasHeight);
  out.target = storedTarget(width, height, out.orientation, options.fitWithin);

  WebPIterator frame;
  if (!WebPDemuxGetFrame(demux.get(), 1, &frame)) {
    out.error = "the file holds no picture";
    return false;
  }
  struct FrameRelease {
    WebPIterator* frame;
    ~FrameRelease() { WebPDemuxReleaseIterator(frame); }
  } release{&frame};

  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config)) {
    out.error = "libwebp version mismatch";
    return false;
  }
  const VP8StatusCode features =
      WebPGetFeatures(frame.fragment.bytes, frame.fragment.size, &config.input);
  if (features != VP8_STATUS_OK) {
    out.error = statusText(features);
    return false;
  }
  // The container and the picture inside it must agree; a file whose
  // header promises another size than its data holds is damaged.
  if (config.input.width != frame.width || config.input.height != frame.height ||
      frame.x_offset + frame.width > width || frame.y_offset + frame.height > height) {
    out.error = "its header says " + std::to_string(frame.width) + " x " +
                std::to_string(frame.height) + " at " + std::to_string(frame.x_offset) + "," +
                std::to_string(frame.y_offset) + " on a " + std::to_string(width) + " x " +
                std::to_string(height) + " canvas, its data " + std::to_string(config.input.width) +
                " x " + std::to_string(config.input.height);
    return false;
  }

  const Placement p =
      placed(frame.x_offset, frame.y_offset, frame.width, frame.height, width, height, out.target);
  const bool wholeCanvas =
      p.x == 0 && p.y == 0 && p.width == out.target.width && p.height == out.target.height;
  Bitmap frameBitmap;
  if (!allocatePixels(out.bitmap, static_cast<std::uint32_t>(out.target.width),
                      static_cast<std::uint32_t>(out.target.height), PixelFormat::RGBA8) ||
      (!wholeCanvas && !allocatePixels(frameBitmap, static_cast<std::uint32_t>(p.width),
                                       static_cast<std::uint32_t>(p.height), PixelFormat::RGBA8))) {
    out.error = "out of memory";
    return false;
  }
  Bitmap& into = wholeCanvas ? out.bitmap : frameBitmap;
  config.options.use_threads = 0;
  if (p.width != frame.width || p.height != frame.height) {
    config.options.use_scaling = 1;
    config.options.scaled_width = p.width;
    config.options.scaled_height = p.height;
  }
  config.output.colorspace = MODE_RGBA;
  config.output.is_external_memory = 1;
  config.output.u.RGBA.rgba = into.pixels.data();
  config.output.u.RGBA.stride = static_cast<int>(into.rowBytes());
  config.output.u.RGBA.size = into.pixels.size();
  const VP8StatusCode status = WebPDecode(frame.fragment.bytes, frame.fragment.size, &config);
  WebPFreeDecBuffer(&config.output);
  if (status != VP8_STATUS_OK) {
    out.bitmap = Bitmap{};
    out.error = statusText(status);
    return false;
  }
  // The first frame of an animation lies on a transparent canvas (the
  // background colour is only a hint, which viewers ignore).
  if (!wholeCanvas)
    for (int y = 0; y < p.height; ++y)
      std::memcpy(out.bitmap.row(p.y + y) + static_cast<std::size_t>(p.x) * 4, frameBitmap.row(y),
                  frameBitmap.rowBytes());
  return true;
}

}  // namespace kit::codec
