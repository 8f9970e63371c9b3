#include "kit/animation.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace kit {

namespace {

const Clock* g_mainClock = nullptr;

// Open blocks of the main thread, innermost last.
std::vector<AnimationSettings>& openBlocks() {
  static std::vector<AnimationSettings> blocks;
  return blocks;
}

// x(s) and y(s) of the cubic Bézier from (0,0) to (1,1) with control points
// (x1, y1) and (x2, y2).
double bezier(double s, double p1, double p2) {
  const double u = 1 - s;
  return 3 * u * u * s * p1 + 3 * u * s * s * p2 + s * s * s;
}

double easeInOut(double x) {
  constexpr double x1 = 0.42, y1 = 0, x2 = 0.58, y2 = 1;
  // Solve x(s) = x by bisection: monotonic, and 30 steps are far below a
  // pixel for any duration the application uses.
  double lo = 0, hi = 1;
  for (int i = 0; i < 30; ++i) {
    const double mid = (lo + hi) / 2;
    if (bezier(mid, x1, x2) < x)
      lo = mid;
    else
      hi = mid;
  }
  return bezier((lo + hi) / 2, y1, y2);
}

struct Decomposed {
  double sx, sy, angle, tx, ty;
};

Decomposed decompose(const AffineTransform& t) {
  const double sx = std::hypot(t.a, t.b);
  const double angle = std::atan2(t.b, t.a);
  const double sy = sx != 0 ? (double(t.a) * t.d - double(t.b) * t.c) / sx : std::hypot(t.c, t.d);
  return {sx, sy, angle, t.tx, t.ty};
}

std::uint64_t g_visualChanges = 0;
double g_animationsUntil = 0;
int g_continuousAnimations = 0;

}  // namespace

void noteVisualChange() { ++g_visualChanges; }
std::uint64_t visualChangeCount() { return g_visualChanges; }
void noteAnimationUntil(double time) {
  if (time > g_animationsUntil) g_animationsUntil = time;
}
double animationsRunUntil() { return g_animationsUntil; }
void noteContinuousAnimation(int delta) { g_continuousAnimations += delta; }
int continuousAnimations() { return g_continuousAnimations; }

void setMainClock(const Clock* clock) { g_mainClock = clock; }
const Clock* mainClock() { return g_mainClock; }
double mainClockNow() { return g_mainClock ? g_mainClock->now() : 0; }

double applyCurve(AnimationCurve curve, double progress) {
  if (progress <= 0) return 0;
  if (progress >= 1) return 1;
  return curve == AnimationCurve::Linear ? progress : easeInOut(progress);
}

void beginAnimations() {
  AnimationSettings settings;
  settings.start = mainClockNow();
  openBlocks().push_back(settings);
}

void setAnimationDuration(double seconds) {
  if (!openBlocks().empty()) openBlocks().back().duration = seconds;
}

void setAnimationCurve(AnimationCurve curve) {
  if (!openBlocks().empty()) openBlocks().back().curve = curve;
}

void commitAnimations() {
  if (!openBlocks().empty()) openBlocks().pop_back();
}

const AnimationSettings* currentAnimation() {
  return openBlocks().empty() ? nullptr : &openBlocks().back();
}

AnimationBlock::AnimationBlock(double duration, AnimationCurve curve) {
  beginAnimations();
  setAnimationDuration(duration);
  setAnimationCurve(curve);
}

AnimationBlock::~AnimationBlock() { commitAnimations(); }

float interpolate(float from, float to, double t) {
  return static_cast<float>(from + (double(to) - from) * t);
}

Point interpolate(Point from, Point to, double t) {
  return {interpolate(from.x, to.x, t), interpolate(from.y, to.y, t)};
}

Rect interpolate(const Rect& from, const Rect& to, double t) {
  return {interpolate(from.origin, to.origin, t),
          Size{interpolate(from.size.width, to.size.width, t),
               interpolate(from.size.height, to.size.height, t)}};
}

AffineTransform interpolate(const AffineTransform& from, const AffineTransform& to, double t) {
  const Decomposed a = decompose(from);
  const Decomposed b = decompose(to);
  double turn = b.angle - a.angle;
  // The short way round.
  if (turn > std::numbers::pi) turn -= 2 * std::numbers::pi;
  if (turn < -std::numbers::pi) turn += 2 * std::numbers::pi;
  const double sx = a.sx + (b.sx - a.sx) * t;
  const double sy = a.sy + (b.sy - a.sy) * t;
  const double angle = a.angle + turn * t;
  AffineTransform r = AffineTransform::makeScale(float(sx), float(sy));
  r = AffineTransform::concat(r, AffineTransform::makeRotation(float(angle)));
  r.tx = float(a.tx + (b.tx - a.tx) * t);
  r.ty = float(a.ty + (b.ty - a.ty) * t);
  return r;
}

}  // namespace kit
