#include "kit/platform.h"

namespace kit {

Platform::Platform(const Clock& clock, MotionSource& motion, std::string resourceDir)
    : clock_(clock),
      previousClock_(mainClock()),
      motion_(motion),
      runLoop_(clock),
      motionManager_(motion, clock),
      accelerometer_(motion, runLoop_),
      bundle_(std::move(resourceDir)) {
  setMainClock(&clock_);
}

Platform::~Platform() { setMainClock(previousClock_); }

}  // namespace kit
