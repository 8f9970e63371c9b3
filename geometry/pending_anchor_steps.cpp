// The shadow and the pivot moves arrive with the turn recogniser; until
// then the frame's shadow step returns at once.
#include "app/vitrane_view_controller.h"

void VitraneforiPadViewController::updateShadow() {}

void VitraneforiPadViewController::shiftAnchor(kit::Point /*newAnchor*/) {}
