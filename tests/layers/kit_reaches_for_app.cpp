// Compiled by the layers_kit_* test with the kit's include root only: the
// kit knows nothing of the application, so this include must not be found.
#include "app/vitrane_view_controller.h"
