#include "kit/finger_tracking.h"

#include <algorithm>
#include <cmath>

namespace kit {

TrackedFinger* findFinger(std::vector<TrackedFinger>& fingers, int id) {
  auto it = std::find_if(fingers.begin(), fingers.end(),
                         [id](const TrackedFinger& f) { return f.id == id; });
  return it == fingers.end() ? nullptr : &*it;
}

Point centroid(const std::vector<TrackedFinger>& fingers) {
  if (fingers.empty()) return {};
  double x = 0, y = 0;
  for (const TrackedFinger& f : fingers) {
    x += f.location.x;
    y += f.location.y;
  }
  const double n = static_cast<double>(fingers.size());
  return {static_cast<float>(x / n), static_cast<float>(y / n)};
}

float distance(Point a, Point b) { return std::hypot(b.x - a.x, b.y - a.y); }

float farthestFromStart(const std::vector<TrackedFinger>& fingers) {
  float most = 0;
  for (const TrackedFinger& f : fingers) most = std::max(most, distance(f.start, f.location));
  return most;
}

bool anyCancelled(const std::vector<Touch>& touches) {
  return std::any_of(touches.begin(), touches.end(),
                     [](const Touch& t) { return t.phase == TouchPhase::Cancelled; });
}

std::vector<int> trackFingers(std::vector<TrackedFinger>& fingers,
                              const std::vector<Touch>& touches) {
  std::vector<int> lifting;
  for (const Touch& t : touches) {
    TrackedFinger* f = findFinger(fingers, t.id);
    if (!f) {
      // A touch seen for the first time is where it came down, whatever
      // its phase says.
      fingers.push_back({t.id, t.location, t.location});
    } else {
      f->location = t.location;
    }
    if (isLift(t.phase)) lifting.push_back(t.id);
  }
  return lifting;
}

void dropFingers(std::vector<TrackedFinger>& fingers, const std::vector<int>& ids) {
  std::erase_if(fingers, [&](const TrackedFinger& f) {
    return std::find(ids.begin(), ids.end(), f.id) != ids.end();
  });
}

}  // namespace kit
