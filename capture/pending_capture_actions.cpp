// Taking or picking a new table surface arrives later; the buttons'
// actions exist so the interface file can wire them.
#include "app/vitrane_view_controller.h"

void VitraneforiPadViewController::takeCameraPhoto(Sender) {}
void VitraneforiPadViewController::useLibraryPhoto(Sender) {}
void VitraneforiPadViewController::cropLibraryTile(Sender) {}
