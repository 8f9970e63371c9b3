// Reading JPEG, PNG, WebP, HEIC and AVIF pictures; writing JPEG and PNG.
//
// Decoding never trusts its input: a damaged, truncated or hostile file
// gives an error, never a crash and never a "successful" picture made of
// whatever happened to be in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kit/bitmap.h"
#include "kit/geometry.h"
#include "kit/image.h"
#include "kit/result.h"

namespace kit {

// HEIC and AVIF are both HEIF files (an HEVC or an AV1 picture inside).
enum class ImageFormat { Unknown, Jpeg, Png, WebP, Heic, Avif };

// By content alone: a file's name says nothing reliable about what it holds.
// kImageSniffBytes leading bytes are enough to tell every format apart (a
// HEIF file names its codec in the brands of its first box).
inline constexpr std::size_t kImageSniffBytes = 64;
ImageFormat sniffImageFormat(const std::uint8_t* data, std::size_t size);

// "JPEG", "PNG", "WebP", "HEIC", "AVIF"; "unknown".
const char* imageFormatName(ImageFormat format);

// Whether this build can decode the format: WebP and HEIF come from
// libraries the browser build leaves out.
bool canDecodeImageFormat(ImageFormat format);

struct DecodeOptions {
  // Pictures with more pixels than this (width × height) are refused from
  // their header, before any pixel memory is taken. The source picture's
  // size counts, with one exception: a sequential JPEG that fitWithin lets
  // libjpeg decode at a reduced size is judged by that reduced size, since
  // the full-size pixels are never held. (Progressive JPEGs keep the whole
  // picture's coefficients while decoding, so their source size counts.)
  std::uint64_t maxPixels = 100'000'000;

  // The displayed size (after orientation) is reduced to fit inside this,
  // keeping its aspect ratio; it is never enlarged. A side of 0 (or less)
  // leaves that direction free, so 0×0 means full size. Sequential JPEGs
  // (through libjpeg's own scaling), lossy WebPs (through libwebp's) and
  // plain PNGs (row by row) are reduced while they decode; interlaced PNGs
  // and lossless WebPs are held whole inside their library first. A HEIF
  // file's thumbnail is decoded instead of its picture when it is at least
  // this size; otherwise libheif decodes the whole picture, which is then
  // reduced row by row.
  Size fitWithin{};

  // Turns and mirrors the pixels into the upright picture; the result's
  // orientation is then Up. (HEIF pictures always come upright: their
  // rotation and mirroring boxes are applied as they decode, and their EXIF
  // orientation, which by the format's rules only repeats those boxes, is
  // not applied again.)
  bool applyOrientationToPixels = false;
};

// A picture as decoded: its pixels and the orientation flag they are shown
// with. An animated WebP gives its first frame, laid on its transparent
// canvas.
struct DecodedImage {
  BitmapRef bitmap;  // never null: RGBA8, or Gray8 for a grey PNG without transparency
  ImageOrientation orientation = ImageOrientation::Up;
};

Result<DecodedImage> decodeImage(const std::uint8_t* data, std::size_t size,
                                 const DecodeOptions& options = {});
// Errors name the file.
Result<DecodedImage> decodeImageFile(const std::string& path, const DecodeOptions& options = {});

// Lossless; RGBA8 becomes an RGBA PNG and Gray8 a grey one.
Result<std::vector<std::uint8_t>> encodePng(const Bitmap& bitmap);

// Written as writeFileAtomically writes, so a reader never sees half a file
// and a failed write leaves the old one.
Result<void> writePngFile(const Bitmap& bitmap, const std::string& path);

// quality 1..100 (clamped). Alpha is dropped. exifOrientation 1..8 adds an
// EXIF segment carrying that orientation tag; 0 writes none.
Result<std::vector<std::uint8_t>> encodeJpeg(const Bitmap& bitmap, int quality,
                                             int exifOrientation = 0);

}  // namespace kit
