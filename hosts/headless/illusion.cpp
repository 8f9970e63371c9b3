#include "hosts/headless/illusion.h"

#include <algorithm>
#include <cmath>

namespace headless {

Affine2 Affine2::then(const Affine2& n) const {
  return {a * n.a + b * n.c, a * n.b + b * n.d,          c * n.a + d * n.c,
          c * n.b + d * n.d, tx * n.a + ty * n.c + n.tx, tx * n.b + ty * n.d + n.ty};
}

Affine2 Affine2::inverted() const {
  const double det = a * d - b * c;
  if (det == 0 || !std::isfinite(det)) return {};
  const double ia = d / det, ib = -b / det, ic = -c / det, id = a / det;
  return {ia, ib, ic, id, -(tx * ia + ty * ic), -(tx * ib + ty * id)};
}

Affine2 viewToScreen(const kit::View& view) {
  Affine2 m;
  // The tree's root is the screen itself: its own placement is not applied,
  // as convertPointToView(p, nullptr) does not apply it.
  for (const kit::View* v = &view; v->superview(); v = v->superview()) {
    const kit::AffineTransform t = v->transformToSuperview();
    m = m.then({t.a, t.b, t.c, t.d, t.tx, t.ty});
  }
  return m;
}

void IllusionMeter::recordLaunch(const kit::View& picture, const kit::TabletPose& pose) {
  launchPictureToScreen_ = viewToScreen(picture);
  launchPose_ = pose;
  recorded_ = true;
}

double IllusionMeter::errorAt(const kit::View& picture, const kit::TabletPose& pose, double sx,
                              double sy) const {
  // Screen point now → picture point → where that picture point was on the
  // screen at launch → the table point under it then.
  const Affine2 toLaunch = viewToScreen(picture).inverted().then(launchPictureToScreen_);
  const Affine2::XY atLaunch = toLaunch.apply(sx, sy);
  const kit::Vector3 shown = launchPose_.tablePointUnder(atLaunch.x, atLaunch.y);
  const kit::Vector3 under = pose.tablePointUnder(sx, sy);
  return std::hypot(shown.x - under.x, shown.y - under.y);
}

IllusionFigures IllusionMeter::measure(const kit::View& picture, const kit::TabletPose& pose,
                                       double screenWidth, double screenHeight) const {
  const double points[][2] = {{0, 0},
                              {screenWidth, 0},
                              {0, screenHeight},
                              {screenWidth, screenHeight},
                              {screenWidth / 2, screenHeight / 2}};
  IllusionFigures f;
  for (const auto& p : points) {
    const double e = errorAt(picture, pose, p[0], p[1]);
    f.mean += e / std::size(points);
    f.max = std::max(f.max, e);
  }
  return f;
}

}  // namespace headless
