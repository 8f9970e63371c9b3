// The shadow and the pivot moves are still to come; until then the
// frame's shadow step returns at once.
#include "app/vitrane_view_controller.h"

void VitraneforiPadViewController::updateShadow() {}
void VitraneforiPadViewController::shiftAnchor(kit::Point /*newAnchor*/) {}
kit::Point VitraneforiPadViewController::computedGravityAnchor() { return centerAnchor; }
void VitraneforiPadViewController::useGravityAnchor() {}
void VitraneforiPadViewController::setAnchorFromGravity() {}
bool VitraneforiPadViewController::isCenterRotation() { return false; }
