// An RGBA colour, components 0..1, straight alpha.
#pragma once

#include <optional>
#include <string_view>

namespace kit {

struct Color {
  float r = 0, g = 0, b = 0, a = 0;

  static constexpr Color clear() { return {0, 0, 0, 0}; }
  static constexpr Color black() { return {0, 0, 0, 1}; }
  static constexpr Color white() { return {1, 1, 1, 1}; }
  static constexpr Color grey(float w, float alpha = 1) { return {w, w, w, alpha}; }

  // "#rrggbb" or "#rrggbbaa"; nothing for anything else.
  static std::optional<Color> fromHex(std::string_view text);

  friend bool operator==(const Color&, const Color&) = default;
};

}  // namespace kit
