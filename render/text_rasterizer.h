// Text set into a box of pixels with FreeType and the system's DejaVu Sans.
//
// A label or a button title becomes one picture the size of its box, the
// text placed in it as the platform places it (centred vertically, aligned
// horizontally, wrapped or cut short with an ellipsis), so the compositor
// draws it as one more textured quad over the view's bounds.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "kit/bitmap.h"
#include "kit/color.h"
#include "kit/label.h"

namespace render {

struct TextStyle {
  std::string text;      // UTF-8; '\n' starts a new line where lines may wrap
  float pixelSize = 17;  // the font's em size, in pixels
  bool bold = false;
  kit::Color color = kit::Color::black();
  int boxWidth = 0;  // pixels
  int boxHeight = 0;
  kit::TextAlignment alignment = kit::TextAlignment::Left;
  int maxLines = 1;  // 0: as many as the text needs

  friend bool operator==(const TextStyle&, const TextStyle&) = default;
};

struct TextStyleHash {
  std::size_t operator()(const TextStyle& s) const;
};

class TextRasterizer {
 public:
  TextRasterizer();
  ~TextRasterizer();
  TextRasterizer(const TextRasterizer&) = delete;
  TextRasterizer& operator=(const TextRasterizer&) = delete;

  // An RGBA8 picture of boxWidth × boxHeight, straight alpha: the colour
  // everywhere, its alpha the glyph coverage times the colour's alpha.
  // Null when the box is empty or too large, or the font cannot be loaded
  // (error() says why).
  kit::BitmapRef rasterize(const TextStyle& style);

  const std::string& error() const { return error_; }

  // Boxes above this many pixels on a side are refused: the caller scales
  // the style down first.
  static constexpr int kLargestBox = 4096;

 private:
  struct Fonts;
  std::unique_ptr<Fonts> fonts_;
  std::string error_;
};

}  // namespace render
