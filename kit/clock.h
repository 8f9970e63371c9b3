// Time on the main thread, in seconds.
//
// The desktop runs on a real clock; the headless runner and the tests on a
// virtual one that only moves when told to, so nothing ever sleeps.
#pragma once

#include <chrono>

namespace kit {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual double now() const = 0;
};

class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(double start = 0) : now_(start) {}
  double now() const override { return now_; }
  void set(double t) { now_ = t; }
  void advance(double seconds) { now_ += seconds; }

 private:
  double now_;
};

// Seconds since the clock was made.
class RealClock final : public Clock {
 public:
  RealClock() : start_(std::chrono::steady_clock::now()) {}
  double now() const override {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_;
};

// The main thread's clock, which animations and the run loop read. The
// platform object installs it; with none installed the time is 0.
void setMainClock(const Clock* clock);
const Clock* mainClock();
double mainClockNow();

}  // namespace kit
