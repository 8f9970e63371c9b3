// Fingers on the screen, as a host hands them to the kit.
//
// A host reports every change of the fingers as one event: the list of all
// fingers down at that moment, the ones that changed with their new phase
// and the others Stationary. A finger keeps its id from Began to Ended (or
// Cancelled); the id may be used again afterwards.
#pragma once

#include <vector>

#include "kit/geometry.h"

namespace kit {

enum class TouchPhase { Began, Moved, Stationary, Ended, Cancelled };

struct Touch {
  int id = 0;
  TouchPhase phase = TouchPhase::Began;
  Point location;        // screen points, origin top-left, y down
  double timestamp = 0;  // main clock seconds

  friend bool operator==(const Touch&, const Touch&) = default;
};

class TouchSink {
 public:
  virtual ~TouchSink() = default;
  virtual void touchesChanged(const std::vector<Touch>& touches) = 0;
};

}  // namespace kit
