// The velocity of a finger (or of a centroid) from its recent positions.
//
// Positions are recorded as the touches report them; between two reports
// the finger is taken to have moved in a straight line at constant speed,
// and after the newest report to have rested there. The velocity at time t
// is the average over [t − window, t] (or from the first report, when that
// is later): a steady drag gives its exact speed, a finger that came to rest
// for a whole window before lifting gives zero.
#pragma once

#include <deque>

#include "kit/geometry.h"

namespace kit {

class VelocityEstimate {
 public:
  void clear() { samples_.clear(); }
  // Times must not go backwards; an earlier one is taken as the newest time.
  void add(double time, Point position);
  // Points per second at time (at or after the newest sample).
  Point velocityAt(double time, double windowSeconds) const;

 private:
  struct Sample {
    double time;
    Point position;
  };
  Point positionAt(double time) const;

  std::deque<Sample> samples_;
};

}  // namespace kit
