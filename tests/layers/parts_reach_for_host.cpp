// Compiled by the layers_parts_* test with the application's include root:
// the application knows no host, so this include must not be found.
#include "hosts/headless/scenario.h"
