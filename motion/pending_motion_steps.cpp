// Frame steps that the turn recogniser, the photos and the readout will
// fill in. Until then each returns at once, which is all the frame needs.
#include "app/vitrane_view_controller.h"

void VitraneforiPadViewController::updateVelocities(
    const std::shared_ptr<const kit::Acceleration>& /*sample*/) {}

void VitraneforiPadViewController::updateCurrentGesture() {}

void VitraneforiPadViewController::updateMovingImages() {}

void VitraneforiPadViewController::updateMeters() {}
