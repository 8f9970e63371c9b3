#include "kit/json_values.h"

#include <charconv>
#include <cmath>

namespace kit {

double tidy(float value) {
  if (!std::isfinite(value)) return value;
  char buf[32];
  const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
  double widened = value;
  std::from_chars(buf, end, widened);
  return widened;
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
