// The photo library and the wandering photos arrive later; the button's
// action exists so the interface file can wire it.
#include "app/vitrane_view_controller.h"

void VitraneforiPadViewController::wanderInPhotos(Sender) {}
