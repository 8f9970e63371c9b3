// Reading and writing JPEG and PNG pictures.
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

namespace kit {

enum class ImageFormat { Unknown, Jpeg, Png };

// By content alone: a file's name says nothing reliable about what it holds.
ImageFormat sniffImageFormat(const std::uint8_t* data, std::size_t size);

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
  // (through libjpeg's own scaling) and plain PNGs (row by row) are reduced
  // while they decode; interlaced PNGs are decoded whole first.
  Size fitWithin{};

  // Turns and mirrors the pixels into the upright picture; the result's
  // orientation is then Up.
  bool applyOrientationToPixels = false;
};

struct DecodeResult {
  BitmapRef bitmap;  // RGBA8, or Gray8 for a grey PNG without transparency
  ImageOrientation orientation = ImageOrientation::Up;
  std::string error;  // why bitmap is null

  explicit operator bool() const { return bitmap != nullptr; }
};

DecodeResult decodeImage(const std::uint8_t* data, std::size_t size, const DecodeOptions& options = {});
DecodeResult decodeImageFile(const std::string& path, const DecodeOptions& options = {});

// Lossless; RGBA8 becomes an RGBA PNG and Gray8 a grey one.
bool encodePng(const Bitmap& bitmap, std::vector<std::uint8_t>& out, std::string* error = nullptr);

// Writes beside the destination first and renames it into place, so a
// reader never sees half a file and a failed write leaves the old one.
bool writePngFile(const Bitmap& bitmap, const std::string& path, std::string* error = nullptr);

// quality 1..100 (clamped). Alpha is dropped. exifOrientation 1..8 adds an
// EXIF segment carrying that orientation tag; 0 writes none.
bool encodeJpeg(const Bitmap& bitmap, int quality, std::vector<std::uint8_t>& out,
                int exifOrientation = 0, std::string* error = nullptr);

}  // namespace kit
