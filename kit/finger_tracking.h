// Bookkeeping shared by the recognisers: the fingers a recogniser follows,
// updated from one event's touches.
#pragma once

#include <vector>

#include "kit/gesture_recognizer.h"

namespace kit {

TrackedFinger* findFinger(std::vector<TrackedFinger>& fingers, int id);
// The mean position of the fingers, (0, 0) for none.
Point centroid(const std::vector<TrackedFinger>& fingers);
// How far the finger that strayed most is from where it came down.
float farthestFromStart(const std::vector<TrackedFinger>& fingers);
float distance(Point a, Point b);

inline bool isLift(TouchPhase phase) {
  return phase == TouchPhase::Ended || phase == TouchPhase::Cancelled;
}
bool anyCancelled(const std::vector<Touch>& touches);

// Adds the touches that began, moves the others to where they are now
// (lifting ones too: where a finger lifts counts as its last move), and
// answers the ids that lift in this event. Touches already known that
// come again as Began only move.
std::vector<int> trackFingers(std::vector<TrackedFinger>& fingers,
                              const std::vector<Touch>& touches);
void dropFingers(std::vector<TrackedFinger>& fingers, const std::vector<int>& ids);

}  // namespace kit
