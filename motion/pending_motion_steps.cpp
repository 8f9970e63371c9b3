// Frame steps still to come. Until then each returns at once, which is all
// the frame needs.
#include "app/vitrane_view_controller.h"

// The velocity step (timestamps, scaled acceleration, the first frames of
// a turn integrated) and the readout.
void VitraneforiPadViewController::updateVelocities(
    const std::shared_ptr<const kit::Acceleration>& /*sample*/) {}
double VitraneforiPadViewController::distanceThisFrame() { return 0; }
void VitraneforiPadViewController::updateMeters() {}

// The turn recogniser.
void VitraneforiPadViewController::updateCurrentGesture() {}
void VitraneforiPadViewController::resetGesture() {}
void VitraneforiPadViewController::updateGravityGesture() {}
bool VitraneforiPadViewController::rotationStartingAtLeast(double) { return false; }
bool VitraneforiPadViewController::rotationEnding() { return false; }
bool VitraneforiPadViewController::translationStarting() { return false; }
bool VitraneforiPadViewController::translationEnding() { return false; }

// The wandering photos.
void VitraneforiPadViewController::updateMovingImages() {}
