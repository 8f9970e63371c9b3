// The runner's STATE object: the controller's instance variables, the
// outlet views, the photos, the fake screen, sounds, links and status bar.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "app/vitrane_view_controller.h"

namespace headless {

nlohmann::json stateDump(const VitraneforiPadViewController& controller, kit::Platform& platform,
                         std::uint64_t frame, double time);

// An outlet by name, or "piece:N", the N-th photo in subview order.
const kit::View* findProbeView(const VitraneforiPadViewController& controller,
                               const std::string& name);

}  // namespace headless
