// The shadow under the tablet and the thin frame around the screen, both
// following the tilt so that the glass seems to have a body.
#include <algorithm>

#include "app/vitrane_view_controller.h"

namespace {
constexpr double kShadowShiftPerRadian = 512;
constexpr double kRestingEdge = 2;
constexpr double kEdgeGrowthPerRadian = 24;

kit::Rect rectOf(double x, double y, double width, double height) {
  return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(width),
          static_cast<float>(height)};
}
}  // namespace

void VitraneforiPadViewController::updateShadow() {
  const kit::Attitude a = currentAttitude();
  const double p = a.pitch;
  const double r = a.roll;

  // At rest the shadow lies exactly under the body; tilting slides it away
  // from the side that rises.
  outlets.deviceShadowView->setFrame(rectOf(geometry.deviceOriginX + kShadowShiftPerRadian * r,
                                            geometry.deviceOriginY + kShadowShiftPerRadian * p,
                                            geometry.deviceWidth, geometry.deviceHeight));

  // The lower side shows more of its edge, the raised side less, never
  // less than nothing: a side vanishes at 1/12 rad.
  const double top = std::max(0.0, kRestingEdge - kEdgeGrowthPerRadian * p);
  const double bottom = std::max(0.0, kRestingEdge + kEdgeGrowthPerRadian * p);
  const double left = std::max(0.0, kRestingEdge - kEdgeGrowthPerRadian * r);
  const double right = std::max(0.0, kRestingEdge + kEdgeGrowthPerRadian * r);

  // The strips and corner pieces tile the border whatever the thicknesses.
  const double w = geometry.screenWidth;
  const double h = geometry.screenHeight;
  outlets.topEdge->setFrame(rectOf(left, 0, w - left - right, top));
  outlets.bottomEdge->setFrame(rectOf(left, h - bottom, w - left - right, bottom));
  outlets.leftEdge->setFrame(rectOf(0, top, left, h - top - bottom));
  outlets.rightEdge->setFrame(rectOf(w - right, top, right, h - top - bottom));
  outlets.insideTopLeft->setFrame(rectOf(0, 0, left, top));
  outlets.insideTopRight->setFrame(rectOf(w - right, 0, right, top));
  outlets.insideBottomLeft->setFrame(rectOf(0, h - bottom, left, bottom));
  outlets.insideBottomRight->setFrame(rectOf(w - right, h - bottom, right, bottom));
}
