// The turn recogniser is still to come; until then the frame's gesture
// step returns at once.
#include "app/vitrane_view_controller.h"

void VitraneforiPadViewController::updateCurrentGesture() {}
void VitraneforiPadViewController::resetGesture() {}
void VitraneforiPadViewController::updateGravityGesture() {}
bool VitraneforiPadViewController::rotationStartingAtLeast(double) { return false; }
bool VitraneforiPadViewController::rotationEnding() { return false; }
bool VitraneforiPadViewController::translationStarting() { return false; }
bool VitraneforiPadViewController::translationEnding() { return false; }
