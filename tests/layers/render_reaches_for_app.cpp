// Compiled by the layers_render_* test with the compositor's include root:
// it draws views and knows no controller, so this include must not be found.
#include "app/vitrane_view_controller.h"
