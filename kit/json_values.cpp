#include "kit/json_values.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kit {

double tidy(float value) {
  if (!std::isfinite(value)) return value;
  char buf[32];
#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 14000
  // An older libc++ (the browser build's) has no floating-point to_chars:
  // the fewest significant digits that read back as the same float are the
  // shortest form to_chars gives, as the nearest decimal of that length is
  // the one that round-trips if any does.
  for (int digits = 1; digits <= 9; ++digits) {
    std::snprintf(buf, sizeof buf, "%.*g", digits, static_cast<double>(value));
    if (std::strtof(buf, nullptr) == value) break;
  }
  return std::strtod(buf, nullptr);
#else
  const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
  double widened = value;
  std::from_chars(buf, end, widened);
  return widened;
#endif
}

nlohmann::json toJson(Point p) { return {tidy(p.x), tidy(p.y)}; }
nlohmann::json toJson(Size s) { return {tidy(s.width), tidy(s.height)}; }
nlohmann::json toJson(const Rect& r) {
  return {tidy(r.origin.x), tidy(r.origin.y), tidy(r.size.width), tidy(r.size.height)};
}
nlohmann::json toJson(const AffineTransform& t) {
  return {tidy(t.a), tidy(t.b), tidy(t.c), tidy(t.d), tidy(t.tx), tidy(t.ty)};
}

}  // namespace kit
