#include "kit/color.h"

namespace kit {

namespace {
int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::optional<Color> Color::fromHex(std::string_view text) {
  if (text.empty() || text[0] != '#' || (text.size() != 7 && text.size() != 9)) return std::nullopt;
  float c[4] = {0, 0, 0, 1};
  for (size_t i = 0; i * 2 + 1 < text.size(); ++i) {
    const int hi = hexDigit(text[1 + i * 2]);
    const int lo = hexDigit(text[2 + i * 2]);
    if (hi < 0 || lo < 0) return std::nullopt;
    c[i] = static_cast<float>(hi * 16 + lo) / 255.0f;
  }
  return Color{c[0], c[1], c[2], c[3]};
}

}  // namespace kit
