#include "hosts/desktop/loop_timing.h"

#include <cmath>

#include "kit/animation.h"

namespace desktop {

SteppedClock::SteppedClock(const kit::Clock& source, double maxStep)
    : source_(source), maxStep_(maxStep), lastStep_(source.now()), latestRead_(lastStep_) {}

void SteppedClock::beginStep() {
  const double readBefore = latestRead_;
  const double t = source_.now() - dropped_;
  const double keep = std::max(lastStep_ + maxStep_, readBefore);
  if (t > keep) dropped_ += t - keep;
  lastStep_ = now();
}

int waitMilliseconds(double now, std::optional<double> nextTimer,
                     std::optional<double> nextHostEvent, double maxWait) {
  double wait = maxWait;
  // Written as comparisons so that a NaN never replaces the wait.
  if (nextTimer && *nextTimer - now < wait) wait = *nextTimer - now;
  if (nextHostEvent && *nextHostEvent - now < wait) wait = *nextHostEvent - now;
  if (!(wait > 0)) return 0;
  return static_cast<int>(std::ceil(wait * 1000));
}

bool RedrawWatch::isStale() const {
  return kit::visualChangeCount() != drawnChanges_ || drawnAt_ < kit::animationsRunUntil() ||
         kit::continuousAnimations() > 0;
}

void RedrawWatch::drawn(double time) {
  drawnChanges_ = kit::visualChangeCount();
  drawnAt_ = time;
}

}  // namespace desktop
