// Compiled by the layers_parts_* test with the application's include root:
// the application draws through the kit's views, never the compositor.
#include "render/compositor.h"
