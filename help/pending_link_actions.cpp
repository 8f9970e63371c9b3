// The outside links arrive with the help panel; the buttons' actions exist
// so the interface file can wire them.
#include "app/vitrane_view_controller.h"

void VitraneforiPadViewController::visitWebSite(Sender) {}
void VitraneforiPadViewController::visitAppStoreListing(Sender) {}
