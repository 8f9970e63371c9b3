// Rasterised text kept between frames: a label is set once, not every
// frame, and text that is no longer shown is let go (its texture follows).
#pragma once

#include <cstdint>
#include <unordered_map>

#include "kit/bitmap.h"
#include "render/text_rasterizer.h"

namespace render {

class TextCache {
 public:
  // Text unused for this many frames is dropped.
  static constexpr std::uint64_t kKeepFrames = 60;

  explicit TextCache(TextRasterizer& rasterizer) : rasterizer_(rasterizer) {}

  // The picture for the style; null when it cannot be made (asked again
  // only after it has been dropped).
  kit::BitmapRef pictureFor(const TextStyle& style);
  void endFrame();
  int size() const { return static_cast<int>(entries_.size()); }

 private:
  struct Entry {
    kit::BitmapRef picture;
    std::uint64_t lastUsed = 0;
  };
  TextRasterizer& rasterizer_;
  std::unordered_map<TextStyle, Entry, TextStyleHash> entries_;
  std::uint64_t frame_ = 0;
};

}  // namespace render
