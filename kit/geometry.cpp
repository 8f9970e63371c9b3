#include "kit/geometry.h"

#include <algorithm>
#include <cstdio>

namespace kit {

AffineTransform AffineTransform::makeRotation(float angle) {
  const float s = std::sin(angle);
  const float c = std::cos(angle);
  return {c, s, -s, c, 0, 0};
}

AffineTransform AffineTransform::makeScale(float sx, float sy) { return {sx, 0, 0, sy, 0, 0}; }

AffineTransform AffineTransform::makeTranslation(float tx, float ty) {
  return {1, 0, 0, 1, tx, ty};
}

AffineTransform AffineTransform::concat(const AffineTransform& t1, const AffineTransform& t2) {
  return {t1.a * t2.a + t1.b * t2.c,           t1.a * t2.b + t1.b * t2.d,
          t1.c * t2.a + t1.d * t2.c,           t1.c * t2.b + t1.d * t2.d,
          t1.tx * t2.a + t1.ty * t2.c + t2.tx, t1.tx * t2.b + t1.ty * t2.d + t2.ty};
}

AffineTransform AffineTransform::inverted() const {
  const float det = a * d - b * c;
  if (det == 0 || !std::isfinite(det)) return *this;
  return {d / det, -b / det, -c / det, a / det, (c * ty - d * tx) / det, (b * tx - a * ty) / det};
}

Rect AffineTransform::applyToRect(const Rect& r) const {
  const Point p[4] = {apply({r.minX(), r.minY()}), apply({r.maxX(), r.minY()}),
                      apply({r.minX(), r.maxY()}), apply({r.maxX(), r.maxY()})};
  float x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
  for (const Point& q : p) {
    x0 = std::min(x0, q.x);
    x1 = std::max(x1, q.x);
    y0 = std::min(y0, q.y);
    y1 = std::max(y1, q.y);
  }
  return {x0, y0, x1 - x0, y1 - y0};
}

AffineTransform rotated(const AffineTransform& t, float angle) {
  return AffineTransform::concat(AffineTransform::makeRotation(angle), t);
}

AffineTransform scaled(const AffineTransform& t, float sx, float sy) {
  return AffineTransform::concat(AffineTransform::makeScale(sx, sy), t);
}

AffineTransform translated(const AffineTransform& t, float tx, float ty) {
  return AffineTransform::concat(AffineTransform::makeTranslation(tx, ty), t);
}

std::string describe(Point p) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "{%g, %g}", p.x, p.y);
  return buf;
}

std::string describe(Size s) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "{%g, %g}", s.width, s.height);
  return buf;
}

std::string describe(const Rect& r) {
  return "{" + describe(r.origin) + ", " + describe(r.size) + "}";
}

std::string describe(const AffineTransform& t) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "[%g, %g, %g, %g, %g, %g]", t.a, t.b, t.c, t.d, t.tx, t.ty);
  return buf;
}

}  // namespace kit
