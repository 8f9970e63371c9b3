// Time for the desktop's main loop.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>

#include "kit/clock.h"

namespace desktop {

// The main clock of the desktop: real time, except that one turn of the
// loop never moves it on by more than a limit. After a stall (a debugger,
// a suspended process, a window being dragged on some desktops) the timers
// catch up on at most that much time instead of firing thousands of frames
// in a burst; the rest of the stall is dropped, as if time had stood still.
// The clock never runs backwards: a time already read during a long turn
// (an animation started late in the launch) is never dropped, or what
// started then would lie in the future and a picture drawn "after" it would
// show it not yet begun.
class SteppedClock final : public kit::Clock {
 public:
  static constexpr double kMaxStep = 0.25;

  explicit SteppedClock(const kit::Clock& source, double maxStep = kMaxStep);
  double now() const override {
    latestRead_ = std::max(latestRead_, source_.now() - dropped_);
    return latestRead_;
  }

  // At the top of every turn of the loop, before anything reads the time.
  void beginStep();
  double dropped() const { return dropped_; }

 private:
  const kit::Clock& source_;
  double maxStep_;
  double dropped_ = 0;
  double lastStep_;
  mutable double latestRead_;
};

// How long the loop may sleep waiting for events: until the earliest of the
// next timer and the next thing the host wants to do itself, never less
// than nothing, never more than maxWait (so a signal's flag is seen soon),
// in whole milliseconds rounded up so the wait never ends just before the
// timer is due and spins. A time that is not a number is left out.
int waitMilliseconds(double now, std::optional<double> nextTimer,
                     std::optional<double> nextHostEvent, double maxWait = 0.1);

// Whether the picture on screen may be out of date: a view changed since it
// was drawn, an animation was still running when it was drawn, or something
// animates for ever (a spinner). A still scene is not drawn again, so an
// idle window costs no more than its timers.
class RedrawWatch {
 public:
  bool isStale() const;
  // Call when a picture has been drawn at the given time.
  void drawn(double time);

 private:
  std::uint64_t drawnChanges_ = ~std::uint64_t{0};
  double drawnAt_ = -1;
};

}  // namespace desktop
