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
  pointsPerInch = pointsPerInchValue;
  screenWidth = screenWidthPoints;
  screenHeight = screenHeightPoints;
  accelerometerLocation = device::kSensorLocation;
  deviceWidth = pointsPerInch * bodyWidthInches;
  deviceHeight = pointsPerInch * bodyHeightInches;
  // The body is centred on the screen.
  deviceOriginX = (pointsPerInch * bodyWidthInches - screenWidth) * -0.5;
  deviceOriginY = (pointsPerInch * bodyHeightInches - screenHeight) * -0.5;
  cornerInset = pointsPerInch * cornerInsetInches;
  kit::log("The device's upper left corner is at %1.0f,%1.0f", deviceOriginX, deviceOriginY);
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
  const double left = deviceOriginX + cornerInset;
  const double right = deviceOriginX + deviceWidth - cornerInset;
  const double top = deviceOriginY + cornerInset;
  const double bottom = deviceOriginY + deviceHeight - cornerInset;
  topLeftAnchor = {static_cast<float>(left), static_cast<float>(top)};
  topRightAnchor = {static_cast<float>(right), static_cast<float>(top)};
  bottomLeftAnchor = {static_cast<float>(left), static_cast<float>(bottom)};
  bottomRightAnchor = {static_cast<float>(right), static_cast<float>(bottom)};
  screenCornerAnchors = false;
  centerAnchor = screenCentre(screenWidth, screenHeight);

  kit::log("TopLeft: %1.1f, %1.1f", topLeftAnchor.x, topLeftAnchor.y);
  kit::log("BottomLeft: %1.1f, %1.1f", bottomLeftAnchor.x, bottomLeftAnchor.y);
  kit::log("TopRight: %1.1f, %1.1f", topRightAnchor.x, topRightAnchor.y);
  kit::log("BottomRight: %1.1f, %1.1f", bottomRightAnchor.x, bottomRightAnchor.y);

  const kit::Point sensor = accelerometerLocation;
  topLeftRadius = radiusTo(topLeftAnchor, sensor);
  topRightRadius = radiusTo(topRightAnchor, sensor);
  bottomLeftRadius = radiusTo(bottomLeftAnchor, sensor);
  bottomRightRadius = radiusTo(bottomRightAnchor, sensor);
  centerRadius = radiusTo(centerAnchor, sensor);
  kit::log("Radial distances from accelerometer:");
  kit::log(" to topLeft=%1.1f, topRight=%1.1f, bottomLeft=%1.1f, bottomRight=%1.1f, center=%1.1f",
           topLeftRadius, topRightRadius, bottomLeftRadius, bottomRightRadius, centerRadius);

  topLeftAngle = angleTo(topLeftAnchor, sensor);
  topRightAngle = angleTo(topRightAnchor, sensor);
  bottomLeftAngle = angleTo(bottomLeftAnchor, sensor);
  bottomRightAngle = angleTo(bottomRightAnchor, sensor);
  centerAngle = angleTo(centerAnchor, sensor);
  kit::log("Angles from anchor points to accelerometer:");
  kit::log(" to topLeft=%1.1fº, topRight=%1.1fº, bottomLeft=%1.1fº, bottomRight=%1.1fº, "
           "center=%1.1fº",
           degrees(topLeftAngle), degrees(topRightAngle), degrees(bottomLeftAngle),
           degrees(bottomRightAngle), degrees(centerAngle));
}

void VitraneforiPadViewController::useScreenAnchors() {
  const auto w = static_cast<float>(screenWidth);
  const auto h = static_cast<float>(screenHeight);
  topLeftAnchor = {0, 0};
  topRightAnchor = {w, 0};
  bottomLeftAnchor = {0, h};
  bottomRightAnchor = {w, h};
  screenCornerAnchors = true;
  centerAnchor = screenCentre(screenWidth, screenHeight);
}

void VitraneforiPadViewController::toggleScreenCorners(Sender) {
  if (screenCornerAnchors)
    useDeviceAnchors();
  else
    useScreenAnchors();
}

void VitraneforiPadViewController::toggleCornersFrom(kit::GestureRecognizer& sender) {
  if (sender.state() != kit::GestureState::Ended) return;
  if (autoAnchorOn && screenCornerAnchors)
    useScreenAnchors();
  else
    useDeviceAnchors();
  showPushPin = true;
  pushpinImageView->setHidden(false);
  autoAnchorOn = true;
  kit::log("Screen (rather than device) corner anchors are %@", screenCornerAnchors ? "ON" : "OFF");
}

kit::Point VitraneforiPadViewController::cornerFromQuadrant(double xAcceleration,
                                                            double yAcceleration,
                                                            double turnRate) {
  flatAnchorValid = true;
  // Read the signs in the sense of the turn: a clockwise turn as it comes,
  // a counter-clockwise one (or none) mirrored.
  const double u = turnRate < 0 ? xAcceleration : -xAcceleration;
  const double v = turnRate < 0 ? yAcceleration : -yAcceleration;
  const bool xDominates = std::fabs(xAcceleration) > kDominanceRatio * std::fabs(yAcceleration);
  if (u > 0 && xDominates) return topRightAnchor;
  if (u < 0 && xDominates) return bottomRightAnchor;
  if (u > 0 && v > 0) return topLeftAnchor;
  if (u < 0 && v > 0) return bottomLeftAnchor;
  flatAnchorValid = false;
  return centerAnchor;
}

kit::Point VitraneforiPadViewController::oppositeCorner(kit::Point corner) {
  if (corner == topLeftAnchor) return bottomRightAnchor;
  if (corner == topRightAnchor) return bottomLeftAnchor;
  if (corner == bottomLeftAnchor) return topRightAnchor;
  if (corner == bottomRightAnchor) return topLeftAnchor;
  kit::log("This anchor %1.1f,%1.1f has no proper opposite, returning center", corner.x, corner.y);
  return centerAnchor;
}

bool VitraneforiPadViewController::isAdjacentCorner(kit::Point first, kit::Point second) {
  if (first == second) return false;
  return !(second == oppositeCorner(first));
}
