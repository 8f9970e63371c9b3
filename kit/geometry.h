// Points, sizes, rectangles and affine transforms in screen points.
//
// Everything is single precision, like the platform the application was
// written for: the application narrows its double-precision state into
// these types at the places where it hands values to views.
#pragma once

#include <cmath>
#include <string>

namespace kit {

struct Point {
  float x = 0;
  float y = 0;

  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  float width = 0;
  float height = 0;

  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  Point origin;
  Size size;

  Rect() = default;
  Rect(float x, float y, float w, float h) : origin{x, y}, size{w, h} {}
  Rect(Point o, Size s) : origin(o), size(s) {}

  float minX() const { return std::fmin(origin.x, origin.x + size.width); }
  float minY() const { return std::fmin(origin.y, origin.y + size.height); }
  float maxX() const { return std::fmax(origin.x, origin.x + size.width); }
  float maxY() const { return std::fmax(origin.y, origin.y + size.height); }
  float midX() const { return origin.x + size.width / 2; }
  float midY() const { return origin.y + size.height / 2; }

  // Half-open on the far edges, as the platform's hit-testing is.
  bool contains(Point p) const {
    return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
  }
  bool intersects(const Rect& other) const {
    return minX() < other.maxX() && other.minX() < maxX() && minY() < other.maxY() &&
           other.minY() < maxY();
  }

  friend bool operator==(const Rect&, const Rect&) = default;
};

// A 2-D affine transform acting on row vectors:
//   x' = a·x + c·y + tx,  y' = b·x + d·y + ty.
//
// The composition order is the platform's: rotated(t, angle) and
// scaled(t, sx, sy) put the new step *before* t, so the step acts in the
// space of whatever t is applied to. Appending a rotation to a view's
// transform therefore turns the view about its own anchor point, after its
// scale, whatever translation t carries.
struct AffineTransform {
  float a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  static AffineTransform identity() { return {}; }
  static AffineTransform makeRotation(float angle);
  static AffineTransform makeScale(float sx, float sy);
  static AffineTransform makeTranslation(float tx, float ty);

  // t1 then t2.
  static AffineTransform concat(const AffineTransform& t1, const AffineTransform& t2);

  bool isIdentity() const { return *this == AffineTransform{}; }
  AffineTransform inverted() const;  // unchanged when singular, as the platform does
  Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
  Point applyToVector(Point v) const { return {a * v.x + c * v.y, b * v.x + d * v.y}; }
  Rect applyToRect(const Rect& r) const;  // bounding box of the transformed corners

  friend bool operator==(const AffineTransform&, const AffineTransform&) = default;
};

AffineTransform rotated(const AffineTransform& t, float angle);
AffineTransform scaled(const AffineTransform& t, float sx, float sy);
AffineTransform translated(const AffineTransform& t, float tx, float ty);

std::string describe(Point p);
std::string describe(Size s);
std::string describe(const Rect& r);
std::string describe(const AffineTransform& t);

}  // namespace kit
