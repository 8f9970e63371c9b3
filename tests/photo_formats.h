// WebP, HEIC and AVIF files made by the tests themselves, through the
// libraries' own encoders; WebP containers (animations, EXIF, headers that
// lie) are put together chunk by chunk around libwebp's bitstreams.
#pragma once

#include <libheif/heif.h>
#include <webp/encode.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kit/bitmap.h"
#include "tests/photo_files.h"

namespace phototest {

using Bytes = std::vector<std::uint8_t>;

inline Bytes webpBytes(const kit::Bitmap& rgba, bool lossless = false, float quality = 90) {
  std::uint8_t* out = nullptr;
  const int stride = static_cast<int>(rgba.rowBytes());
  const std::size_t size =
      lossless ? WebPEncodeLosslessRGBA(rgba.pixels.data(), rgba.width, rgba.height, stride, &out)
               : WebPEncodeRGBA(rgba.pixels.data(), rgba.width, rgba.height, stride, quality, &out);
  Bytes bytes(out, out + size);
  WebPFree(out);
  return bytes;
}

inline Bytes webpBytes(int width, int height, bool lossless = false) {
  return webpBytes(gradient(width, height), lossless);
}

inline void put24(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 3; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void put32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline Bytes webpChunk(const char* fourcc, const Bytes& payload) {
  Bytes b(fourcc, fourcc + 4);
  put32(b, static_cast<std::uint32_t>(payload.size()));
  b.insert(b.end(), payload.begin(), payload.end());
  if (payload.size() % 2) b.push_back(0);
  return b;
}

// The image chunk (VP8 or VP8L) of a simple WebP file.
inline Bytes webpImageChunk(const Bytes& simpleFile) {
  return Bytes(simpleFile.begin() + 12, simpleFile.end());
}

inline Bytes webpFile(const std::vector<Bytes>& chunks) {
  Bytes body{'W', 'E', 'B', 'P'};
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  Bytes file{'R', 'I', 'F', 'F'};
  put32(file, static_cast<std::uint32_t>(body.size()));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

inline Bytes vp8x(std::uint8_t flags, std::uint32_t canvasWidth, std::uint32_t canvasHeight) {
  Bytes p{flags, 0, 0, 0};
  put24(p, canvasWidth - 1);
  put24(p, canvasHeight - 1);
  return webpChunk("VP8X", p);
}

constexpr std::uint8_t kWebpAlpha = 0x10, kWebpExif = 0x08, kWebpAnimation = 0x02;

// A still picture with an EXIF orientation tag (a bare TIFF block, as most
// writers store it, or with JPEG's "Exif\0\0" before it).
inline Bytes webpWithExif(const kit::Bitmap& rgba, int orientation, bool jpegStyleHeader = false) {
  Bytes exif;
  if (jpegStyleHeader) exif = {'E', 'x', 'i', 'f', 0, 0};
  const Bytes tiff = {'M',  'M',  0, 42, 0, 0, 0, 8, 0, 1,
                      0x01, 0x12, 0, 3,  0, 0, 0, 1, 0, static_cast<std::uint8_t>(orientation),
                      0,    0,    0, 0,  0, 0};
  exif.insert(exif.end(), tiff.begin(), tiff.end());
  return webpFile({vp8x(kWebpExif | kWebpAlpha, static_cast<std::uint32_t>(rgba.width),
                        static_cast<std::uint32_t>(rgba.height)),
                   webpImageChunk(webpBytes(rgba, true)), webpChunk("EXIF", exif)});
}

struct WebpFrame {
  kit::Bitmap pixels;
  int x = 0, y = 0;  // even
};

inline Bytes animatedWebp(int canvasWidth, int canvasHeight, const std::vector<WebpFrame>& frames) {
  std::vector<Bytes> chunks{vp8x(kWebpAnimation | kWebpAlpha,
                                 static_cast<std::uint32_t>(canvasWidth),
                                 static_cast<std::uint32_t>(canvasHeight))};
  chunks.push_back(webpChunk("ANIM", Bytes{0, 0, 0, 0, 0, 0}));
  for (const WebpFrame& f : frames) {
    Bytes p;
    put24(p, static_cast<std::uint32_t>(f.x / 2));
    put24(p, static_cast<std::uint32_t>(f.y / 2));
    put24(p, static_cast<std::uint32_t>(f.pixels.width - 1));
    put24(p, static_cast<std::uint32_t>(f.pixels.height - 1));
    put24(p, 40);  // milliseconds
    p.push_back(0);
    const Bytes image = webpImageChunk(webpBytes(f.pixels, true));
    p.insert(p.end(), image.begin(), image.end());
    chunks.push_back(webpChunk("ANMF", p));
  }
  return webpFile(chunks);
}

inline kit::Bitmap solid(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                         std::uint8_t a = 255) {
  kit::Bitmap bm = kit::Bitmap::make(width, height, kit::PixelFormat::RGBA8);
  for (int i = 0; i < width * height; ++i) {
    std::uint8_t* p = &bm.pixels[static_cast<std::size_t>(i) * 4];
    p[0] = r, p[1] = g, p[2] = b, p[3] = a;
  }
  return bm;
}

// ---------------------------------------------------------------------------
// HEIF

struct HeifOptions {
  heif_compression_format codec = heif_compression_HEVC;
  int bitDepth = 8;
  heif_orientation orientation = heif_orientation_normal;
  int thumbnailSide = 0;  // 0: none
};

inline heif_error heifWrite(heif_context*, const void* data, std::size_t size, void* userdata) {
  auto* out = static_cast<Bytes*>(userdata);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
  return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

inline bool canEncodeHeif(heif_compression_format codec) {
  heif_init(nullptr);
  return heif_have_encoder_for_format(codec) != 0;
}

// 8-bit pictures go in as RGB; deeper ones as YCbCr 4:2:0 (full range,
// BT.601), the form cameras and the AV1 encoder take them in.
inline heif_image* heifImage(const kit::Bitmap& rgba, int bitDepth) {
  heif_image* image = nullptr;
  const int w = rgba.width, h = rgba.height;
  if (bitDepth == 8) {
    heif_image_create(w, h, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, w, h, 8);
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < 3; ++c) plane[y * stride + x * 3 + c] = rgba.row(y)[x * 4 + c];
    return image;
  }
  heif_image_create(w, h, heif_colorspace_YCbCr, heif_chroma_420, &image);
  const int cw = (w + 1) / 2, ch = (h + 1) / 2;
  heif_image_add_plane(image, heif_channel_Y, w, h, bitDepth);
  heif_image_add_plane(image, heif_channel_Cb, cw, ch, bitDepth);
  heif_image_add_plane(image, heif_channel_Cr, cw, ch, bitDepth);
  const double scale = (1 << bitDepth) / 256.0;
  auto put = [&](heif_channel channel, int x, int y, double v) {
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image, channel, &stride);
    const int max = (1 << bitDepth) - 1;
    const int q = std::clamp(static_cast<int>(v * scale + 0.5), 0, max);
    plane[y * stride + x * 2] = static_cast<std::uint8_t>(q & 0xFF);
    plane[y * stride + x * 2 + 1] = static_cast<std::uint8_t>(q >> 8);
  };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const std::uint8_t* p = rgba.row(y) + x * 4;
      put(heif_channel_Y, x, y, 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]);
    }
  for (int y = 0; y < ch; ++y)
    for (int x = 0; x < cw; ++x) {
      const std::uint8_t* p = rgba.row(std::min(2 * y, h - 1)) + std::min(2 * x, w - 1) * 4;
      put(heif_channel_Cb, x, y, 128 - 0.168736 * p[0] - 0.331264 * p[1] + 0.5 * p[2]);
      put(heif_channel_Cr, x, y, 128 + 0.5 * p[0] - 0.418688 * p[1] - 0.081312 * p[2]);
    }
  return image;
}

// Empty when the machine's libheif has no encoder for the codec. The
// thumbnail is made of thumbnailPixels when given (so a test can tell
// which was decoded), else of the picture.
inline Bytes heifBytes(const kit::Bitmap& rgba, const HeifOptions& options = {},
                       const kit::Bitmap* thumbnailPixels = nullptr) {
  heif_init(nullptr);
  Bytes out;
  heif_context* ctx = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  if (heif_context_get_encoder_for_format(ctx, options.codec, &encoder).code != heif_error_Ok) {
    heif_context_free(ctx);
    return out;
  }
  heif_encoder_set_lossy_quality(encoder, 90);
  if (options.codec == heif_compression_AV1) heif_encoder_set_parameter(encoder, "speed", "9");
  if (options.codec == heif_compression_HEVC)
    heif_encoder_set_parameter(encoder, "preset", "ultrafast");
  heif_image* image = heifImage(rgba, options.bitDepth);
  heif_encoding_options* encoding = heif_encoding_options_alloc();
  encoding->image_orientation = options.orientation;
  heif_image_handle* handle = nullptr;
  if (heif_context_encode_image(ctx, image, encoder, encoding, &handle).code == heif_error_Ok) {
    if (options.thumbnailSide > 0) {
      heif_image* source = thumbnailPixels ? heifImage(*thumbnailPixels, options.bitDepth) : image;
      heif_image_handle* thumb = nullptr;
      heif_context_encode_thumbnail(ctx, source, handle, encoder, encoding, options.thumbnailSide,
                                    &thumb);
      if (thumb) heif_image_handle_release(thumb);
      if (source != image) heif_image_release(source);
    }
    heif_writer writer{1, heifWrite};
    heif_context_write(ctx, &writer, &out);
    heif_image_handle_release(handle);
  }
  heif_encoding_options_free(encoding);
  heif_image_release(image);
  heif_encoder_release(encoder);
  heif_context_free(ctx);
  return out;
}

inline Bytes heifBytes(int width, int height, const HeifOptions& options = {}) {
  return heifBytes(gradient(width, height), options);
}

// Every occurrence of one four-letter code replaced by another (item
// types, brands), as a file of a codec this machine lacks would carry.
inline Bytes withFourcc(Bytes bytes, const char* from, const char* to) {
  for (std::size_t i = 0; i + 4 <= bytes.size(); ++i)
    if (std::memcmp(&bytes[i], from, 4) == 0) std::memcpy(&bytes[i], to, 4);
  return bytes;
}

}  // namespace phototest
