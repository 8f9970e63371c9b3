// libjpeg and libpng report fatal errors by longjmp. Every function here
// that calls setjmp keeps the libraries' state in a job object owned by its
// caller and holds nothing with a destructor of its own, so a jump neither
// skips a C++ destructor nor leaves a value indeterminate.
#include "kit/image_codec.h"
#include "kit/image_codec_parts.h"
#include "kit/posix_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <optional>
#include <system_error>

#include <jpeglib.h>
#include <jerror.h>
#include <png.h>

namespace kit {
namespace {

// Far beyond any real photograph, but keeps a mistaken path (a disk image,
// a video) from being pulled into memory whole.
constexpr std::uint64_t kMaxFileBytes = 1ull << 30;

// Real progressive JPEGs have about ten scans; thousands of tiny scans are
// a known way to make a small file take minutes to decode.
constexpr int kMaxJpegScans = 1000;

constexpr std::size_t kMessageSize = 256;

Result<void> isUsable(const Bitmap& bitmap) {
  if (bitmap.width <= 0 || bitmap.height <= 0) return Error{"bitmap has no pixels"};
  if (bitmap.format != PixelFormat::RGBA8 && bitmap.format != PixelFormat::Gray8)
    return Error{"unknown pixel format"};
  if (bitmap.pixels.size() / static_cast<std::size_t>(bitmap.height) < bitmap.rowBytes())
    return Error{"bitmap's pixel buffer is smaller than its size"};
  return {};
}

}  // namespace

namespace codec {

// Taking the memory can fail for a picture within limits on a small machine;
// that is an error to report, not a reason to terminate.
bool allocatePixels(Bitmap& bitmap, std::uint32_t width, std::uint32_t height, PixelFormat format) {
  try {
    bitmap = Bitmap::make(static_cast<int>(width), static_cast<int>(height), format);
    return true;
  } catch (const std::bad_alloc&) {
    bitmap = Bitmap{};
    return false;
  }
}

std::string tooManyPixels(std::uint64_t width, std::uint64_t height, std::uint64_t limit) {
  return "image is " + std::to_string(width) + " x " + std::to_string(height) +
         " pixels, more than the limit of " + std::to_string(limit);
}

// ---------------------------------------------------------------------------
// Sizes

bool constrains(float side) { return std::isfinite(side) && side > 0; }

// The largest size of width × height's aspect that fits inside box, never
// more than width × height.
Dimensions fitted(int width, int height, Size box) {
  double scale = 1;
  if (constrains(box.width)) scale = std::min(scale, box.width / static_cast<double>(width));
  if (constrains(box.height)) scale = std::min(scale, box.height / static_cast<double>(height));
  if (scale >= 1) return {width, height};
  auto side = [scale](int full, float limit) {
    long v = std::lround(full * scale);
    // Rounding up must not step outside the box.
    if (constrains(limit)) v = std::min(v, static_cast<long>(std::floor(limit)));
    return static_cast<int>(std::clamp<long>(v, 1, full));
  };
  return {side(width, box.width), side(height, box.height)};
}

// The box applies to the picture as shown, the result to the bitmap as stored.
Dimensions storedTarget(int width, int height, ImageOrientation orientation, Size box) {
  if (!isQuarterTurned(orientation)) return fitted(width, height, box);
  const Dimensions shown = fitted(height, width, box);
  return {shown.height, shown.width};
}

AxisWeights boxWeights(int sourceSize, int targetSize) {
  AxisWeights a;
  a.spans.resize(static_cast<std::size_t>(targetSize));
  const double step = static_cast<double>(sourceSize) / targetSize;
  for (int d = 0; d < targetSize; ++d) {
    const double lo = d * step;
    const double hi = (d + 1) * step;
    const int first = std::clamp(static_cast<int>(std::floor(lo)), 0, sourceSize - 1);
    const int last = std::clamp(static_cast<int>(std::ceil(hi)) - 1, first, sourceSize - 1);
    AxisWeights::Span& span = a.spans[static_cast<std::size_t>(d)];
    span.first = first;
    span.count = last - first + 1;
    span.weights = a.weights.size();
    double total = 0;
    for (int i = first; i <= last; ++i) {
      const double w = std::max(0.0, std::min(hi, i + 1.0) - std::max(lo, static_cast<double>(i)));
      a.weights.push_back(static_cast<float>(w));
      total += w;
    }
    for (int i = 0; i < span.count; ++i) {
      float& w = a.weights[span.weights + static_cast<std::size_t>(i)];
      w = total > 0 ? static_cast<float>(w / total) : (i == 0 ? 1.0f : 0.0f);
    }
  }
  return a;
}

std::uint8_t toByte(float v) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

Bitmap resampled(const Bitmap& source, int width, int height) {
  RowResampler resampler(source.width, source.height, width, height, source.format);
  for (int y = 0; y < source.height; ++y) resampler.addRow(source.row(y));
  return resampler.finish();
}

// ---------------------------------------------------------------------------
// Orientation

// The bitmap as it is to be seen: every displayed pixel fetched from where
// the orientation put it in the stored bitmap.
Bitmap upright(const Bitmap& source, ImageOrientation orientation) {
  const int w = source.width;
  const int h = source.height;
  const bool quarter = isQuarterTurned(orientation);
  Bitmap out = Bitmap::make(quarter ? h : w, quarter ? w : h, source.format);
  const std::size_t bpp = static_cast<std::size_t>(source.bytesPerPixel());
  for (int dy = 0; dy < out.height; ++dy) {
    std::uint8_t* o = out.row(dy);
    for (int dx = 0; dx < out.width; ++dx) {
      int sx = 0, sy = 0;
      storedPixel(orientation, w, h, dx, dy, sx, sy);
      std::memcpy(o + static_cast<std::size_t>(dx) * bpp,
                  source.row(sy) + static_cast<std::size_t>(sx) * bpp, bpp);
    }
  }
  return out;
}

// ---------------------------------------------------------------------------
// EXIF

// The orientation tag of an APP1 segment's body, or 0 when it is not EXIF,
// has none or cannot be read. Only the first IFD is read (the tag lives
// there), so no chain of offsets is followed and none can loop.
int exifOrientation(const std::uint8_t* body, std::size_t length) {
  static const std::uint8_t kHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
  if (length < sizeof kHeader || std::memcmp(body, kHeader, sizeof kHeader) != 0) return 0;
  return tiffOrientation(body + sizeof kHeader, length - sizeof kHeader);
}

int tiffOrientation(const std::uint8_t* tiff, std::size_t size) {
  if (!tiff || size < 8) return 0;
  bool little;
  if (tiff[0] == 'I' && tiff[1] == 'I')
    little = true;
  else if (tiff[0] == 'M' && tiff[1] == 'M')
    little = false;
  else
    return 0;
  // Callers check offset + 2 (or + 4) <= size first.
  auto u16 = [&](std::size_t at) -> std::uint32_t {
    return little ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1];
  };
  auto u32 = [&](std::size_t at) -> std::uint32_t {
    return little ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
  };
  if (u16(2) != 42) return 0;
  const std::uint32_t ifd = u32(4);
  if (ifd < 8 || ifd > size - 2) return 0;
  const std::size_t first = ifd + std::size_t{2};
  const std::size_t entries = std::min<std::size_t>(u16(ifd), (size - first) / 12);
  for (std::size_t i = 0; i < entries; ++i) {
    const std::size_t e = first + i * 12;
    if (u16(e) != 0x0112) continue;
    const std::uint32_t type = u16(e + 2);
    const std::uint32_t count = u32(e + 4);
    if (count == 0) return 0;
    std::uint32_t value = 0;
    if (type == 3 && count <= 2)  // SHORT, held in the entry itself
      value = u16(e + 8);
    else if (type == 4 && count == 1)  // LONG, from careless writers
      value = u32(e + 8);
    return value <= 8 ? static_cast<int>(value) : 0;
  }
  return 0;
}

}  // namespace codec

namespace {

using namespace codec;

// ---------------------------------------------------------------------------
// JPEG

struct JpegErrors {
  jpeg_error_mgr pub;  // first, so the library's pointer to it points to this
  std::jmp_buf jump;
  char message[kMessageSize];
};

[[noreturn]] void jpegFailWith(j_common_ptr cinfo, const char* text) {
  auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
  std::snprintf(errors->message, sizeof errors->message, "%s", text);
  std::longjmp(errors->jump, 1);
}

[[noreturn]] void jpegFail(j_common_ptr cinfo) {
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  jpegFailWith(cinfo, text);
}

// libjpeg carries on after these warnings, filling what it could not read
// with grey: a picture with lost parts, which is reported as a failure.
void jpegMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // trace output
  switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC: jpegFail(cinfo);
    default: cinfo->err->num_warnings++;
  }
}

void jpegSilence(j_common_ptr) {}

void jpegProgress(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans)
    jpegFailWith(cinfo, "too many progressive scans");
}

void installJpegErrors(JpegErrors& errors) {
  jpeg_std_error(&errors.pub);
  errors.pub.error_exit = jpegFail;
  errors.pub.emit_message = jpegMessage;
  errors.pub.output_message = jpegSilence;
  errors.message[0] = 0;
}

struct JpegDecodeJob {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  const DecodeOptions* options = nullptr;

  jpeg_decompress_struct cinfo;
  JpegErrors errors;
  jpeg_progress_mgr progress;

  Bitmap bitmap;  // as decoded, possibly already reduced by libjpeg
  Dimensions target;
  ImageOrientation orientation = ImageOrientation::Up;
};

void cmykToRgba(const JSAMPLE* in, std::uint8_t* out, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 4) {
    // Adobe's files store the inks inverted: 255 means none.
    const unsigned k = inverted ? in[3] : 255u - in[3];
    for (int c = 0; c < 3; ++c) {
      const unsigned ink = inverted ? in[c] : 255u - in[c];
      out[c] = static_cast<std::uint8_t>((ink * k + 127) / 255);
    }
    out[3] = 255;
  }
}

bool decodeJpegPixels(JpegDecodeJob& job) {
  jpeg_decompress_struct& cinfo = job.cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  std::memset(&job.progress, 0, sizeof job.progress);
  installJpegErrors(job.errors);
  cinfo.err = &job.errors.pub;
  if (setjmp(job.errors.jump)) {
    jpeg_destroy_decompress(&job.cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  job.progress.progress_monitor = jpegProgress;
  cinfo.progress = &job.progress;
  jpeg_mem_src(&cinfo, job.data, static_cast<unsigned long>(job.size));
  jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&cinfo, TRUE);

  for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
    if (m->marker != JPEG_APP0 + 1 || m->data_length < 6 ||
        std::memcmp(m->data, "Exif\0\0", 6) != 0)
      continue;
    job.orientation = orientationFromExif(exifOrientation(m->data, m->data_length));
    break;
  }

  const JDIMENSION width = cinfo.image_width;
  const JDIMENSION height = cinfo.image_height;
  if (width == 0 || height == 0)
    jpegFailWith(reinterpret_cast<j_common_ptr>(&cinfo), "image has no pixels");

  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;

  job.target = storedTarget(static_cast<int>(width), static_cast<int>(height), job.orientation,
                            job.options->fitWithin);
  // The strongest reduction libjpeg can do while still giving at least the
  // target size; the rest is left to the resampler.
  for (unsigned num = 1; num <= 8; ++num) {
    cinfo.scale_num = num;
    cinfo.scale_denom = 8;
    jpeg_calc_output_dimensions(&cinfo);
    if (cinfo.output_width >= static_cast<JDIMENSION>(job.target.width) &&
        cinfo.output_height >= static_cast<JDIMENSION>(job.target.height))
      break;
  }

  const std::uint64_t limit = job.options->maxPixels;
  const std::uint64_t sourcePixels = std::uint64_t{width} * height;
  const std::uint64_t decodedPixels = std::uint64_t{cinfo.output_width} * cinfo.output_height;
  if (decodedPixels > limit || (sourcePixels > limit && jpeg_has_multiple_scans(&cinfo))) {
    char text[kMessageSize];
    std::snprintf(text, sizeof text, "image is %u x %u pixels, more than the limit of %llu", width,
                  height, static_cast<unsigned long long>(limit));
    jpegFailWith(reinterpret_cast<j_common_ptr>(&cinfo), text);
  }
  if (!allocatePixels(job.bitmap, cinfo.output_width, cinfo.output_height, PixelFormat::RGBA8))
    jpegFailWith(reinterpret_cast<j_common_ptr>(&cinfo), "out of memory");

  jpeg_start_decompress(&cinfo);
  if (cinfo.output_width != static_cast<JDIMENSION>(job.bitmap.width) ||
      cinfo.output_height != static_cast<JDIMENSION>(job.bitmap.height) ||
      cinfo.output_components != 4)
    jpegFailWith(reinterpret_cast<j_common_ptr>(&cinfo), "unexpected output layout");

  JSAMPARRAY cmykRow = nullptr;
  if (cmyk)
    cmykRow = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                         cinfo.output_width * 4, 1);
  while (cinfo.output_scanline < cinfo.output_height) {
    const int y = static_cast<int>(cinfo.output_scanline);
    JSAMPROW row = cmyk ? cmykRow[0] : job.bitmap.row(y);
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1)
      jpegFailWith(reinterpret_cast<j_common_ptr>(&cinfo), "no more scanlines");
    if (cmyk) cmykToRgba(cmykRow[0], job.bitmap.row(y), cinfo.output_width, cinfo.saw_Adobe_marker);
  }
  // Reads on to the end marker, so a file cut off after the last row's data
  // is still noticed.
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

struct JpegEncodeJob {
  const Bitmap* bitmap = nullptr;
  int quality = 90;
  int exifOrientation = 0;

  jpeg_compress_struct cinfo;
  JpegErrors errors;
  unsigned char* buffer = nullptr;  // malloc'ed by libjpeg
  unsigned long length = 0;
};

bool encodeJpegPixels(JpegEncodeJob& job) {
  jpeg_compress_struct& cinfo = job.cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  installJpegErrors(job.errors);
  cinfo.err = &job.errors.pub;
  if (setjmp(job.errors.jump)) {
    jpeg_destroy_compress(&job.cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &job.buffer, &job.length);
  const Bitmap& bitmap = *job.bitmap;
  const bool gray = bitmap.format == PixelFormat::Gray8;
  cinfo.image_width = static_cast<JDIMENSION>(bitmap.width);
  cinfo.image_height = static_cast<JDIMENSION>(bitmap.height);
  cinfo.input_components = gray ? 1 : 4;
  cinfo.in_color_space = gray ? JCS_GRAYSCALE : JCS_EXT_RGBA;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, job.quality, TRUE);
  if (job.exifOrientation != 0)
    cinfo.write_JFIF_header = FALSE;  // EXIF files carry no JFIF segment
  jpeg_start_compress(&cinfo, TRUE);

  if (job.exifOrientation != 0) {
    // A big-endian TIFF header and one IFD holding only the orientation.
    const auto v = static_cast<std::uint8_t>(job.exifOrientation);
    const std::uint8_t exif[] = {'E',  'x',  'i', 'f', 0, 0,        //
                                 'M',  'M',  0,   42,  0, 0, 0, 8,  // header, IFD at 8
                                 0,    1,                           // one entry
                                 0x01, 0x12, 0,   3,   0, 0, 0, 1,
                                 0,    v,    0,   0,   // orientation, SHORT × 1
                                 0,    0,    0,   0};  // no further IFD
    jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif, sizeof exif);
  }
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(bitmap.row(static_cast<int>(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

// ---------------------------------------------------------------------------
// PNG

struct PngErrorText {
  char text[kMessageSize] = {};
};

[[noreturn]] void pngFail(png_structp png, png_const_charp text) {
  auto* error = static_cast<PngErrorText*>(png_get_error_ptr(png));
  std::snprintf(error->text, sizeof error->text, "%s", text ? text : "unknown error");
  png_longjmp(png, 1);
}

void pngWarn(png_structp, png_const_charp) {}

struct PngDecodeJob {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t position = 0;
  const DecodeOptions* options = nullptr;
  PngErrorText error;
  Bitmap bitmap;
  Dimensions target;  // what decodeImage is to hand back
  // Held here, outside the frame that libpng's errors jump out of.
  std::vector<std::uint8_t> row;
  std::optional<RowResampler> resampler;
};

void pngRead(png_structp png, png_bytep out, std::size_t length) {
  auto* job = static_cast<PngDecodeJob*>(png_get_io_ptr(png));
  if (length > job->size - job->position) png_error(png, "unexpected end of data");
  std::memcpy(out, job->data + job->position, length);
  job->position += length;
}

bool decodePngPixels(PngDecodeJob& job) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &job.error, pngFail, pngWarn);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    std::snprintf(job.error.text, sizeof job.error.text, "out of memory");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &job, pngRead);
  png_read_info(png, info);

  png_uint_32 width = 0, height = 0;
  int depth = 0, colorType = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &colorType, nullptr, nullptr, nullptr);
  if (width == 0 || height == 0) png_error(png, "image has no pixels");
  const std::uint64_t limit = job.options->maxPixels;
  if (std::uint64_t{width} * height > limit) {
    char text[kMessageSize];
    std::snprintf(text, sizeof text, "image is %u x %u pixels, more than the limit of %llu",
                  static_cast<unsigned>(width), static_cast<unsigned>(height),
                  static_cast<unsigned long long>(limit));
    png_error(png, text);
  }

  // Everything becomes 8-bit RGBA, except plain grey, which stays grey.
  const bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  const bool gray = colorType == PNG_COLOR_TYPE_GRAY && !transparency;
  if (depth == 16) png_set_scale_16(png);
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (transparency) png_set_tRNS_to_alpha(png);
  if (!gray) {
    if (!(colorType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
    if (!(colorType & PNG_COLOR_MASK_ALPHA) && !transparency)
      png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  }
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);

  const png_byte channels = png_get_channels(png, info);
  if (png_get_bit_depth(png, info) != 8 || channels != (gray ? 1 : 4) ||
      png_get_rowbytes(png, info) != std::size_t{width} * channels)
    png_error(png, "unexpected pixel layout");
  const PixelFormat format = gray ? PixelFormat::Gray8 : PixelFormat::RGBA8;
  const int w = static_cast<int>(width), h = static_cast<int>(height);
  job.target = storedTarget(w, h, ImageOrientation::Up, job.options->fitWithin);
  if (passes == 1 && (job.target.width < w || job.target.height < h)) {
    // Made smaller as the rows arrive: the full-size pixels are never held.
    bool ok = true;
    try {
      job.row.resize(std::size_t{width} * channels);
      job.resampler.emplace(w, h, job.target.width, job.target.height, format);
    } catch (const std::bad_alloc&) {
      ok = false;
    }
    for (int y = 0; ok && y < h; ++y) {
      png_read_row(png, job.row.data(), nullptr);
      try {
        job.resampler->addRow(job.row.data());
      } catch (const std::bad_alloc&) {
        ok = false;
      }
    }
    if (!ok) png_error(png, "out of memory");
    job.bitmap = job.resampler->finish();
  } else {
    if (!allocatePixels(job.bitmap, width, height, format)) png_error(png, "out of memory");
    // Interlaced pictures arrive in passes, each filling in its own pixels
    // of the same rows.
    for (int pass = 0; pass < passes; ++pass)
      for (int y = 0; y < h; ++y) png_read_row(png, job.bitmap.row(y), nullptr);
  }
  // Checks the rest of the file, so one cut off after its pixel data still
  // fails.
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

struct PngEncodeJob {
  const Bitmap* bitmap = nullptr;
  std::vector<std::uint8_t>* out = nullptr;
  PngErrorText error;
};

void pngWrite(png_structp png, png_bytep data, std::size_t length) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  bool ok = true;
  try {
    out->insert(out->end(), data, data + length);
  } catch (...) {
    ok = false;
  }
  // Outside the handler: jumping out of a catch block would leak the exception.
  if (!ok) png_error(png, "out of memory");
}

void pngFlush(png_structp) {}

bool encodePngPixels(PngEncodeJob& job) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job.error, pngFail, pngWarn);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    std::snprintf(job.error.text, sizeof job.error.text, "out of memory");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  const Bitmap& bitmap = *job.bitmap;
  png_set_write_fn(png, job.out, pngWrite, pngFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.width),
               static_cast<png_uint_32>(bitmap.height), 8,
               bitmap.format == PixelFormat::Gray8 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGBA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < bitmap.height; ++y) png_write_row(png, bitmap.row(y));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

// ---------------------------------------------------------------------------
// Files

// Refuses what cannot be a picture before any byte of it is read.
Result<void> couldBeAnImage(const std::string& path, const FileFacts& file) {
  if (file.folder) return Error{path + " is a folder, not an image file"};
  if (!file.regular) return Error{path + " is not a regular file"};
  if (file.size == 0) return Error{path + " is empty"};
  if (file.size > kMaxFileBytes)
    return Error{path + " is too large to be an image (" + std::to_string(file.size) + " bytes)"};
  return {};
}

}  // namespace

ImageFormat sniffImageFormat(const std::uint8_t* data, std::size_t size) {
  static const std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (!data) return ImageFormat::Unknown;
  if (size >= sizeof kPng && std::memcmp(data, kPng, sizeof kPng) == 0) return ImageFormat::Png;
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return ImageFormat::Jpeg;
  if (size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0)
    return ImageFormat::WebP;
  // HEIF: an ISO base media file whose first box, "ftyp", lists brands: the
  // major one, then (after a version) the compatible ones.
  if (size >= 16 && std::memcmp(data + 4, "ftyp", 4) == 0) {
    const std::uint32_t box = std::uint32_t{data[0]} << 24 | std::uint32_t{data[1]} << 16 |
                              std::uint32_t{data[2]} << 8 | data[3];
    const std::size_t end = std::min<std::size_t>(size, box >= 16 ? box : 16);
    bool heif = false, hevc = false, av1 = false;
    auto brand = [&](const std::uint8_t* b) {
      static const char* const kHevc[] = {"heic", "heix", "heim", "heis", "hevc", "hevx"};
      static const char* const kAv1[] = {"avif", "avis"};
      for (const char* name : kHevc)
        if (std::memcmp(b, name, 4) == 0) hevc = true;
      for (const char* name : kAv1)
        if (std::memcmp(b, name, 4) == 0) av1 = true;
      if (std::memcmp(b, "mif1", 4) == 0 || std::memcmp(b, "msf1", 4) == 0) heif = true;
    };
    brand(data + 8);
    for (std::size_t at = 16; at + 4 <= end; at += 4) brand(data + at);
    // A file that is both (AVIF pictures with an HEVC fallback) is read by
    // whichever decoder comes first; libheif picks its picture itself.
    if (av1) return ImageFormat::Avif;
    if (hevc || heif) return ImageFormat::Heic;
  }
  return ImageFormat::Unknown;
}

const char* imageFormatName(ImageFormat format) {
  switch (format) {
    case ImageFormat::Jpeg: return "JPEG";
    case ImageFormat::Png: return "PNG";
    case ImageFormat::WebP: return "WebP";
    case ImageFormat::Heic: return "HEIC";
    case ImageFormat::Avif: return "AVIF";
    case ImageFormat::Unknown: break;
  }
  return "unknown";
}

bool canDecodeImageFormat(ImageFormat format) {
  switch (format) {
    case ImageFormat::Jpeg:
    case ImageFormat::Png: return true;
#ifdef VITRANE_HAVE_WEBP
    case ImageFormat::WebP: return true;
#endif
#ifdef VITRANE_HAVE_HEIF
    case ImageFormat::Heic:
    case ImageFormat::Avif: return true;
#endif
    default: return false;
  }
}

Result<DecodedImage> decodeImage(const std::uint8_t* data, std::size_t size,
                                 const DecodeOptions& options) {
  if (!data || size == 0) return Error{"no image data"};
  try {
    Bitmap bitmap;
    Dimensions target;
    ImageOrientation orientation = ImageOrientation::Up;
    switch (sniffImageFormat(data, size)) {
      case ImageFormat::Jpeg: {
        // Heap: libjpeg's structures are large for a stack frame.
        auto job = std::make_unique<JpegDecodeJob>();
        job->data = data;
        job->size = size;
        job->options = &options;
        if (!decodeJpegPixels(*job)) return Error{std::string("JPEG: ") + job->errors.message};
        bitmap = std::move(job->bitmap);
        target = job->target;
        orientation = job->orientation;
        break;
      }
      case ImageFormat::Png: {
        PngDecodeJob job;
        job.data = data;
        job.size = size;
        job.options = &options;
        if (!decodePngPixels(job)) return Error{std::string("PNG: ") + job.error.text};
        bitmap = std::move(job.bitmap);
        target = job.target;
        break;
      }
      case ImageFormat::WebP:
      case ImageFormat::Heic:
      case ImageFormat::Avif: {
        const ImageFormat format = sniffImageFormat(data, size);
        FormatDecode decoded;
        bool ok = false;
#ifdef VITRANE_HAVE_WEBP
        if (format == ImageFormat::WebP) ok = decodeWebp(data, size, options, decoded);
#endif
#ifdef VITRANE_HAVE_HEIF
        if (format != ImageFormat::WebP) ok = decodeHeif(data, size, options, decoded);
#endif
        if (!canDecodeImageFormat(format)) decoded.error = "this build cannot decode them";
        if (!ok) return Error{std::string(imageFormatName(format)) + ": " + decoded.error};
        bitmap = std::move(decoded.bitmap);
        target = decoded.target;
        orientation = decoded.orientation;
        break;
      }
      case ImageFormat::Unknown: return Error{"not a JPEG, PNG, WebP, HEIC or AVIF image"};
    }
    if (bitmap.width != target.width || bitmap.height != target.height)
      bitmap = resampled(bitmap, target.width, target.height);
    if (options.applyOrientationToPixels && orientation != ImageOrientation::Up) {
      bitmap = upright(bitmap, orientation);
      orientation = ImageOrientation::Up;
    }
    return DecodedImage{std::make_shared<const Bitmap>(std::move(bitmap)), orientation};
  } catch (const std::bad_alloc&) {
    return Error{"out of memory"};
  }
}

Result<DecodedImage> decodeImageFile(const std::string& path, const DecodeOptions& options) {
  Result<std::vector<std::uint8_t>> data = Error{};
  try {
    data = readWholeFile(path, [&](const FileFacts& file) { return couldBeAnImage(path, file); });
  } catch (const std::bad_alloc&) {
    return Error{path + ": out of memory"};
  }
  if (!data) return data.error();
  auto decoded = decodeImage(data->data(), data->size(), options);
  if (!decoded) return Error{path + ": " + decoded.error().message};
  return decoded;
}

Result<std::vector<std::uint8_t>> encodePng(const Bitmap& bitmap) {
  if (auto usable = isUsable(bitmap); !usable) return usable.error();
  std::vector<std::uint8_t> out;
  PngEncodeJob job;
  job.bitmap = &bitmap;
  job.out = &out;
  if (!encodePngPixels(job)) return Error{std::string("PNG: ") + job.error.text};
  return out;
}

Result<void> writePngFile(const Bitmap& bitmap, const std::string& path) {
  auto data = encodePng(bitmap);
  if (!data) return data.error();
  return writeFileAtomically(path, *data);
}

Result<std::vector<std::uint8_t>> encodeJpeg(const Bitmap& bitmap, int quality,
                                             int exifOrientation) {
  if (auto usable = isUsable(bitmap); !usable) return usable.error();
  if (exifOrientation < 0 || exifOrientation > 8) return Error{"EXIF orientation must be 0..8"};
  auto job = std::make_unique<JpegEncodeJob>();
  job->bitmap = &bitmap;
  job->quality = std::clamp(quality, 1, 100);
  job->exifOrientation = exifOrientation;
  const bool ok = encodeJpegPixels(*job);
  std::vector<std::uint8_t> out;
  bool copied = false;
  if (ok) {
    try {
      out.assign(job->buffer, job->buffer + job->length);
      copied = true;
    } catch (const std::bad_alloc&) {
    }
  }
  std::free(job->buffer);
  if (!ok) return Error{std::string("JPEG: ") + job->errors.message};
  if (!copied) return Error{"out of memory"};
  return out;
}

}  // namespace kit
