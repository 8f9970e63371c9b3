#include "render/text_rasterizer.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cmath>
#include <functional>
#include <unordered_map>
#include <vector>

namespace render {

namespace {

// Debian and Ubuntu first; then where other distributions put the same files.
const char* const kRegularFont[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "/usr/share/fonts/TTF/DejaVuSans.ttf",
    "/usr/share/fonts/dejavu/DejaVuSans.ttf", "/usr/share/fonts/dejavu-sans-fonts/DejaVuSans.ttf"};
const char* const kBoldFont[] = {"/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
                                 "/usr/share/fonts/TTF/DejaVuSans-Bold.ttf",
                                 "/usr/share/fonts/dejavu/DejaVuSans-Bold.ttf",
                                 "/usr/share/fonts/dejavu-sans-fonts/DejaVuSans-Bold.ttf"};

constexpr char32_t kEllipsis = U'\u2026';
constexpr char32_t kReplacement = U'\uFFFD';

// Malformed bytes become U+FFFD rather than stopping the text or reading
// past its end.
std::u32string decodeUtf8(const std::string& s) {
  std::u32string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    int extra = b < 0x80           ? 0
                : (b >> 5) == 0x6  ? 1
                : (b >> 4) == 0xE  ? 2
                : (b >> 3) == 0x1E ? 3
                                   : -1;
    if (extra < 0 || i + static_cast<std::size_t>(extra) >= s.size()) {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    char32_t c = extra == 0 ? b : b & (0x3F >> extra);
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      const auto cont = static_cast<unsigned char>(s[i + k]);
      if ((cont & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (cont & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not characters.
    static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (!ok || c < kSmallest[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    out.push_back(c);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

// Widths in 26.6 fixed point, with the font's kerning, for one face at one
// size.
class Measurer {
 public:
  explicit Measurer(FT_Face face) : face_(face) {}

  FT_UInt glyph(char32_t c) { return FT_Get_Char_Index(face_, c); }

  long advance(FT_UInt g) {
    if (const auto it = advances_.find(g); it != advances_.end()) return it->second;
    long a = 0;
    if (FT_Load_Glyph(face_, g, FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT) == 0)
      a = face_->glyph->advance.x;
    advances_.emplace(g, a);
    return a;
  }

  long kerning(FT_UInt left, FT_UInt right) {
    if (!left || !FT_HAS_KERNING(face_)) return 0;
    FT_Vector k{};
    FT_Get_Kerning(face_, left, right, FT_KERNING_DEFAULT, &k);
    return k.x;
  }

  long width(const std::u32string& line) {
    long w = 0;
    FT_UInt previous = 0;
    for (char32_t c : line) {
      const FT_UInt g = glyph(c);
      w += kerning(previous, g) + advance(g);
      previous = g;
    }
    return w;
  }

 private:
  FT_Face face_;
  std::unordered_map<FT_UInt, long> advances_;
};

void trimTrailingSpaces(std::u32string& s) {
  while (!s.empty() && s.back() == U' ') s.pop_back();
}

// Cuts the line short with an ellipsis so that it fits.
std::u32string ellipsize(Measurer& m, std::u32string line, long maxWidth) {
  trimTrailingSpaces(line);
  for (;;) {
    std::u32string candidate = line + kEllipsis;
    if (line.empty() || m.width(candidate) <= maxWidth) return candidate;
    line.pop_back();
    trimTrailingSpaces(line);
  }
}

// Greedy word wrap; a word wider than the box is broken between characters.
void wrapParagraph(Measurer& m, const std::u32string& paragraph, long maxWidth,
                   std::vector<std::u32string>& lines) {
  std::u32string current;
  std::size_t i = 0;
  auto flush = [&] {
    trimTrailingSpaces(current);
    lines.push_back(current);
    current.clear();
  };
  while (i < paragraph.size()) {
    std::size_t end = paragraph.find(U' ', i);
    if (end == std::u32string::npos) end = paragraph.size();
    const std::u32string word = paragraph.substr(i, end - i);
    std::u32string candidate = current.empty() ? word : current + U' ' + word;
    if (m.width(candidate) <= maxWidth) {
      current = std::move(candidate);
    } else {
      if (!current.empty()) flush();
      // The word alone, broken wherever it overflows.
      for (char32_t c : word) {
        if (!current.empty() && m.width(current + c) > maxWidth) flush();
        current.push_back(c);
      }
    }
    i = end + 1;
  }
  flush();
}

}  // namespace

std::size_t TextStyleHash::operator()(const TextStyle& s) const {
  std::size_t h = std::hash<std::string>{}(s.text);
  auto mix = [&h](std::size_t v) { h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
  // Adding zero makes −0 hash as +0, which compares equal to it.
  auto bits = [](float f) {
    f += 0.0f;
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof b);  // std::bit_cast, which the browser build's libc++ lacks
    return b;
  };
  mix(bits(s.pixelSize));
  mix(s.bold);
  mix(bits(s.color.r));
  mix(bits(s.color.g));
  mix(bits(s.color.b));
  mix(bits(s.color.a));
  mix(static_cast<std::size_t>(s.boxWidth));
  mix(static_cast<std::size_t>(s.boxHeight));
  mix(static_cast<std::size_t>(s.alignment));
  mix(static_cast<std::size_t>(s.maxLines));
  return h;
}

struct TextRasterizer::Fonts {
  FT_Library library = nullptr;
  FT_Face regular = nullptr;
  FT_Face bold = nullptr;
  bool triedBold = false;

  ~Fonts() {
    if (regular) FT_Done_Face(regular);
    if (bold) FT_Done_Face(bold);
    if (library) FT_Done_FreeType(library);
  }

  FT_Face open(const char* const* paths, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      FT_Face face = nullptr;
      if (FT_New_Face(library, paths[i], 0, &face) == 0) return face;
    }
    return nullptr;
  }
};

TextRasterizer::TextRasterizer() : fonts_(std::make_unique<Fonts>()) {
  if (FT_Init_FreeType(&fonts_->library) != 0) {
    fonts_->library = nullptr;
    error_ = "FreeType could not start";
    return;
  }
  fonts_->regular = fonts_->open(kRegularFont, std::size(kRegularFont));
  if (!fonts_->regular)
    error_ = std::string("the font DejaVu Sans was not found (looked for ") + kRegularFont[0] +
             " and the like; install fonts-dejavu-core)";
}

TextRasterizer::~TextRasterizer() = default;

kit::BitmapRef TextRasterizer::rasterize(const TextStyle& style) {
  if (!fonts_->regular) return nullptr;
  if (style.boxWidth <= 0 || style.boxHeight <= 0 || style.boxWidth > kLargestBox ||
      style.boxHeight > kLargestBox || !(style.pixelSize > 0) || style.pixelSize > kLargestBox)
    return nullptr;
  FT_Face face = fonts_->regular;
  if (style.bold) {
    if (!fonts_->triedBold) {
      fonts_->bold = fonts_->open(kBoldFont, std::size(kBoldFont));
      fonts_->triedBold = true;
    }
    // Without the bold face the text is still worth showing.
    if (fonts_->bold) face = fonts_->bold;
  }
  if (FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(style.pixelSize * 64)), 72,
                       72) != 0)
    return nullptr;

  Measurer m(face);
  const long maxWidth = static_cast<long>(style.boxWidth) * 64;
  const std::u32string text = decodeUtf8(style.text);

  std::vector<std::u32string> lines;
  bool cut = false;
  if (style.maxLines == 1) {
    std::u32string line = text;
    std::replace(line.begin(), line.end(), U'\n', U' ');
    lines.push_back(std::move(line));
  } else {
    std::size_t start = 0;
    for (;;) {
      const std::size_t end = text.find(U'\n', start);
      wrapParagraph(m, text.substr(start, end == std::u32string::npos ? end : end - start),
                    maxWidth, lines);
      if (end == std::u32string::npos) break;
      start = end + 1;
    }
  }
  const long lineHeight = std::max<long>(1, face->size->metrics.height);  // 26.6
  const long ascender = face->size->metrics.ascender;
  // Lines past the allowed number, or past the box's height, are dropped
  // and the last one kept ends in an ellipsis.
  std::size_t keep = lines.size();
  if (style.maxLines > 0)
    keep = std::min<std::size_t>(keep, static_cast<std::size_t>(style.maxLines));
  keep = std::min<std::size_t>(
      keep, std::max<std::size_t>(1, static_cast<std::size_t>(style.boxHeight * 64L / lineHeight)));
  if (keep < lines.size()) {
    lines.resize(keep);
    cut = true;
  }
  for (std::size_t i = 0; i < lines.size(); ++i)
    if ((cut && i + 1 == lines.size()) || m.width(lines[i]) > maxWidth)
      lines[i] = ellipsize(m, lines[i], maxWidth);

  std::vector<std::uint8_t> coverage(static_cast<std::size_t>(style.boxWidth) * style.boxHeight, 0);
  const long blockHeight = lineHeight * static_cast<long>(lines.size());
  const long top = (static_cast<long>(style.boxHeight) * 64 - blockHeight) / 2;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const long width = m.width(lines[i]);
    long pen = 0;
    if (style.alignment == kit::TextAlignment::Center) pen = (maxWidth - width) / 2;
    if (style.alignment == kit::TextAlignment::Right) pen = maxWidth - width;
    // Whole pixels for the baseline keep hinted stems sharp.
    const long baseline = (top + ascender + lineHeight * static_cast<long>(i) + 32) >> 6;
    FT_UInt previous = 0;
    for (char32_t c : lines[i]) {
      const FT_UInt g = m.glyph(c);
      pen += m.kerning(previous, g);
      previous = g;
      if (FT_Load_Glyph(face, g, FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT) != 0 ||
          FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) {
        pen += m.advance(g);
        continue;
      }
      const FT_Bitmap& bm = face->glyph->bitmap;
      const long x0 = ((pen + 32) >> 6) + face->glyph->bitmap_left;
      const long y0 = baseline - face->glyph->bitmap_top;
      for (unsigned row = 0; row < bm.rows; ++row) {
        const long y = y0 + static_cast<long>(row);
        if (y < 0 || y >= style.boxHeight) continue;
        const unsigned char* src = bm.buffer + static_cast<long>(row) * bm.pitch;
        for (unsigned col = 0; col < bm.width; ++col) {
          const long x = x0 + static_cast<long>(col);
          if (x < 0 || x >= style.boxWidth) continue;
          std::uint8_t& dst = coverage[static_cast<std::size_t>(y) * style.boxWidth + x];
          dst = std::max(dst, src[col]);
        }
      }
      pen += face->glyph->advance.x;
    }
  }

  auto bitmap = std::make_shared<kit::Bitmap>(
      kit::Bitmap::make(style.boxWidth, style.boxHeight, kit::PixelFormat::RGBA8));
  auto channel = [](float v) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255));
  };
  const std::uint8_t r = channel(style.color.r), g = channel(style.color.g),
                     b = channel(style.color.b);
  const float a = std::clamp(style.color.a, 0.0f, 1.0f);
  std::uint8_t* out = bitmap->pixels.data();
  for (std::uint8_t c : coverage) {
    out[0] = r;
    out[1] = g;
    out[2] = b;
    out[3] = static_cast<std::uint8_t>(std::lround(c * a));
    out += 4;
  }
  return bitmap;
}

}  // namespace render
