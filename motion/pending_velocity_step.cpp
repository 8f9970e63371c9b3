// The velocity step and the readout are still to come; until then each
// returns at once, which is all the frame needs.
#include "app/vitrane_view_controller.h"

void VitraneforiPadViewController::updateVelocities(
    const std::shared_ptr<const kit::Acceleration>& /*sample*/) {}
double VitraneforiPadViewController::distanceThisFrame() { return 0; }
void VitraneforiPadViewController::updateMeters() {}
