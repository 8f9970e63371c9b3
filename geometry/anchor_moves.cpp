// Where the picture turns: moving the pivot without moving the picture,
// and the corner a lifted tablet turns about.
#include "app/vitrane_view_controller.h"

namespace {
// The world views are 4096 points square; rotatingView's centre sits this
// far from the pivot in offsetView, whose origin is this far off screen.
constexpr float kWorldHalf = 2048;
// A turn that moved the sensor less than this (points) turned about the middle.
constexpr double kCenterRotationDistance = 2;
}  // namespace

void VitraneforiPadViewController::shiftAnchor(kit::Point newAnchor) {
  if (newAnchor == pivot.currentAnchor()) return;

  const kit::View* root = view().get();
  const kit::Point newInTable = root->convertPointToView(newAnchor, outlets.tableTopView.get());
  const kit::Point oldInRotating =
      root->convertPointToView(pivot.currentAnchor(), outlets.rotatingView.get());

  // Re-centring rotatingView on the new pivot drags the table along; the
  // table's centre takes the opposite shift in rotatingView's own (turned)
  // space, so every world point stays where it was on screen and only
  // later turns act about the new point.
  outlets.tableTopView->setCenter(
      {2 * oldInRotating.x - newInTable.x, 2 * oldInRotating.y - newInTable.y});
  outlets.rotatingView->setCenter({newAnchor.x + kWorldHalf, newAnchor.y + kWorldHalf});
  pivot.moveTo(newAnchor);

  // The telescoper hung off the old place; zooms keep acting about the
  // screen centre.
  adjustTelescopeCenter(geometry.center.anchor);
}

kit::Point VitraneforiPadViewController::computedGravityAnchor() {
  if (deviceIsFlat()) return geometry.center.anchor;
  // A flat turn lifted a little (not yet a tip) keeps its pivot.
  if (turn.gestureIsFlat && !startingTip()) return pivot.currentAnchor();

  // Gravity runs down the slope toward the side still on the table; a
  // component of exactly 0 counts as right, and as bottom.
  const kit::Vector3 g = currentGravity();
  if (g.x >= 0) return g.y > 0 ? geometry.topRight.anchor : geometry.bottomRight.anchor;
  return g.y > 0 ? geometry.topLeft.anchor : geometry.bottomLeft.anchor;
}

void VitraneforiPadViewController::useGravityAnchor() {
  shiftAnchor(turn.currentGravityAnchor);
  pivot.placedBy(Pivot::Reason::TippedTurn);
}

void VitraneforiPadViewController::setAnchorFromGravity() {
  shiftAnchor(computedGravityAnchor());
  turn.gestureIsFlat = false;
  pivot.placedBy(Pivot::Reason::Gravity);
}

bool VitraneforiPadViewController::isCenterRotation() {
  return distanceThisFrame() < kCenterRotationDistance;
}
