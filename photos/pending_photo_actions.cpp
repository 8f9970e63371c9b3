// The photo library and the wandering photos arrive later; the button's
// action exists so the interface file can wire it, and the frame's photo
// step returns at once.
#include "app/vitrane_view_controller.h"

void VitraneforiPadViewController::wanderInPhotos(Sender) {}
void VitraneforiPadViewController::updateMovingImages() {}
