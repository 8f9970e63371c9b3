// The world's finger gestures arrive with touch delivery; until then the
// recognisers installed at set-up call handlers that do nothing.
#include "app/vitrane_view_controller.h"

void VitraneforiPadViewController::rotateWorld(kit::GestureRecognizer&) {}
void VitraneforiPadViewController::scaleWorld(kit::GestureRecognizer&) {}
void VitraneforiPadViewController::resetScale(kit::GestureRecognizer&) {}
void VitraneforiPadViewController::handlePanFrom(kit::GestureRecognizer&) {}
void VitraneforiPadViewController::hideInstructions(kit::GestureRecognizer&) {}
void VitraneforiPadViewController::longPressMenu(kit::GestureRecognizer&) {}

bool VitraneforiPadViewController::gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(
    kit::GestureRecognizer&, kit::GestureRecognizer&) {
  return false;
}
