// Where the screen and the tablet's body lie in screen points, and the
// corners about which a lifted tablet turns.
#include <cmath>
#include <numbers>

#include "app/device_facts.h"
#include "app/vitrane_view_controller.h"
#include "kit/log.h"

namespace {

// An x acceleration dominates when it exceeds the y one by more than this.
constexpr double kDominanceRatio = 2.8;

double degrees(double radians) { return radians * 180 / std::numbers::pi; }

}  // namespace

void VitraneforiPadViewController::setupGeometry(double bodyWidthInches, double bodyHeightInches,
                                                 double cornerInsetInches, int screenWidthPoints,
                                                 int screenHeightPoints, int pointsPerInchValue) {
  geometry.pointsPerInch = pointsPerInchValue;
  geometry.screenWidth = screenWidthPoints;
  geometry.screenHeight = screenHeightPoints;
  geometry.accelerometerLocation = device::kSensorLocation;
  geometry.deviceWidth = geometry.pointsPerInch * bodyWidthInches;
  geometry.deviceHeight = geometry.pointsPerInch * bodyHeightInches;
  // The body is centred on the screen.
  geometry.deviceOriginX = (geometry.pointsPerInch * bodyWidthInches - geometry.screenWidth) * -0.5;
  geometry.deviceOriginY =
      (geometry.pointsPerInch * bodyHeightInches - geometry.screenHeight) * -0.5;
  geometry.cornerInset = geometry.pointsPerInch * cornerInsetInches;
  kit::log("The device's upper left corner is at %1.0f,%1.0f", geometry.deviceOriginX,
           geometry.deviceOriginY);
  useDeviceAnchors();
}

namespace {

kit::Point screenCentre(int width, int height) {
  return {static_cast<float>(width / 2), static_cast<float>(height / 2)};
}

double radiusTo(kit::Point anchor, kit::Point sensor) {
  const float dx = anchor.x - sensor.x;
  const float dy = anchor.y - sensor.y;
  const float squares = dx * dx + dy * dy;
  return std::sqrt(static_cast<double>(squares));
}

// Direction from the anchor to the sensor, counter-clockwise on screen from +x.
double angleTo(kit::Point anchor, kit::Point sensor) {
  const float dy = sensor.y - anchor.y;
  const float dx = sensor.x - anchor.x;
  return -std::atan2(static_cast<double>(dy), static_cast<double>(dx));
}

}  // namespace

void VitraneforiPadViewController::useDeviceAnchors() {
  const double left = geometry.deviceOriginX + geometry.cornerInset;
  const double right = geometry.deviceOriginX + geometry.deviceWidth - geometry.cornerInset;
  const double top = geometry.deviceOriginY + geometry.cornerInset;
  const double bottom = geometry.deviceOriginY + geometry.deviceHeight - geometry.cornerInset;
  geometry.topLeft.anchor = {static_cast<float>(left), static_cast<float>(top)};
  geometry.topRight.anchor = {static_cast<float>(right), static_cast<float>(top)};
  geometry.bottomLeft.anchor = {static_cast<float>(left), static_cast<float>(bottom)};
  geometry.bottomRight.anchor = {static_cast<float>(right), static_cast<float>(bottom)};
  geometry.screenCornerAnchors = false;
  geometry.center.anchor = screenCentre(geometry.screenWidth, geometry.screenHeight);

  kit::log("TopLeft: %1.1f, %1.1f", geometry.topLeft.anchor.x, geometry.topLeft.anchor.y);
  kit::log("BottomLeft: %1.1f, %1.1f", geometry.bottomLeft.anchor.x, geometry.bottomLeft.anchor.y);
  kit::log("TopRight: %1.1f, %1.1f", geometry.topRight.anchor.x, geometry.topRight.anchor.y);
  kit::log("BottomRight: %1.1f, %1.1f", geometry.bottomRight.anchor.x,
           geometry.bottomRight.anchor.y);

  const kit::Point sensor = geometry.accelerometerLocation;
  geometry.topLeft.radius = radiusTo(geometry.topLeft.anchor, sensor);
  geometry.topRight.radius = radiusTo(geometry.topRight.anchor, sensor);
  geometry.bottomLeft.radius = radiusTo(geometry.bottomLeft.anchor, sensor);
  geometry.bottomRight.radius = radiusTo(geometry.bottomRight.anchor, sensor);
  geometry.center.radius = radiusTo(geometry.center.anchor, sensor);
  kit::log("Radial distances from accelerometer:");
  kit::log(" to topLeft=%1.1f, topRight=%1.1f, bottomLeft=%1.1f, bottomRight=%1.1f, center=%1.1f",
           geometry.topLeft.radius, geometry.topRight.radius, geometry.bottomLeft.radius,
           geometry.bottomRight.radius, geometry.center.radius);

  geometry.topLeft.angle = angleTo(geometry.topLeft.anchor, sensor);
  geometry.topRight.angle = angleTo(geometry.topRight.anchor, sensor);
  geometry.bottomLeft.angle = angleTo(geometry.bottomLeft.anchor, sensor);
  geometry.bottomRight.angle = angleTo(geometry.bottomRight.anchor, sensor);
  geometry.center.angle = angleTo(geometry.center.anchor, sensor);
  kit::log("Angles from anchor points to accelerometer:");
  kit::log(
      " to topLeft=%1.1fº, topRight=%1.1fº, bottomLeft=%1.1fº, bottomRight=%1.1fº, "
      "center=%1.1fº",
      degrees(geometry.topLeft.angle), degrees(geometry.topRight.angle),
      degrees(geometry.bottomLeft.angle), degrees(geometry.bottomRight.angle),
      degrees(geometry.center.angle));
}

void VitraneforiPadViewController::useScreenAnchors() {
  const auto w = static_cast<float>(geometry.screenWidth);
  const auto h = static_cast<float>(geometry.screenHeight);
  geometry.topLeft.anchor = {0, 0};
  geometry.topRight.anchor = {w, 0};
  geometry.bottomLeft.anchor = {0, h};
  geometry.bottomRight.anchor = {w, h};
  geometry.screenCornerAnchors = true;
  geometry.center.anchor = screenCentre(geometry.screenWidth, geometry.screenHeight);
}

void VitraneforiPadViewController::toggleScreenCorners(Sender) {
  if (geometry.screenCornerAnchors)
    useDeviceAnchors();
  else
    useScreenAnchors();
}

void VitraneforiPadViewController::toggleCornersFrom(kit::GestureRecognizer& sender) {
  if (sender.state() != kit::GestureState::Ended) return;
  if (geometry.autoAnchorOn && geometry.screenCornerAnchors)
    useScreenAnchors();
  else
    useDeviceAnchors();
  geometry.showPushPin = true;
  outlets.pushpinImageView->setHidden(false);
  geometry.autoAnchorOn = true;
  kit::log("Screen (rather than device) corner anchors are %@",
           geometry.screenCornerAnchors ? "ON" : "OFF");
}

kit::Point VitraneforiPadViewController::cornerFromQuadrant(double xAcceleration,
                                                            double yAcceleration, double turnRate) {
  geometry.flatAnchorValid = true;
  // Read the signs in the sense of the turn: a clockwise turn as it comes,
  // a counter-clockwise one (or none) mirrored.
  const double u = turnRate < 0 ? xAcceleration : -xAcceleration;
  const double v = turnRate < 0 ? yAcceleration : -yAcceleration;
  const bool xDominates = std::fabs(xAcceleration) > kDominanceRatio * std::fabs(yAcceleration);
  if (u > 0 && xDominates) return geometry.topRight.anchor;
  if (u < 0 && xDominates) return geometry.bottomRight.anchor;
  if (u > 0 && v > 0) return geometry.topLeft.anchor;
  if (u < 0 && v > 0) return geometry.bottomLeft.anchor;
  geometry.flatAnchorValid = false;
  return geometry.center.anchor;
}

kit::Point VitraneforiPadViewController::oppositeCorner(kit::Point corner) {
  if (corner == geometry.topLeft.anchor) return geometry.bottomRight.anchor;
  if (corner == geometry.topRight.anchor) return geometry.bottomLeft.anchor;
  if (corner == geometry.bottomLeft.anchor) return geometry.topRight.anchor;
  if (corner == geometry.bottomRight.anchor) return geometry.topLeft.anchor;
  kit::log("This anchor %1.1f,%1.1f has no proper opposite, returning center", corner.x, corner.y);
  return geometry.center.anchor;
}

bool VitraneforiPadViewController::isAdjacentCorner(kit::Point first, kit::Point second) {
  if (first == second) return false;
  return !(second == oppositeCorner(first));
}
