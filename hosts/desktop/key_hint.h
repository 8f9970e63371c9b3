// The list of keys shown over the screen until the person hides it.
#pragma once

#include <memory>

#include "kit/view.h"

namespace desktop {

// A panel for the bottom-left corner of the 768 × 1024 screen. It takes no
// touches: fingers reach the application's views beneath it.
std::shared_ptr<kit::View> makeKeyHint();

}  // namespace desktop
