// The fake-screen trick arrives later; the button's action exists so the
// interface file can wire it.
#include "app/vitrane_view_controller.h"

void VitraneforiPadViewController::showFakeScreen(Sender) {}
