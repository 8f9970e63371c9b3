// The main thread's run loop: timers on the main clock, and a main queue
// onto which other threads post work for the main thread.
//
// Timers due at the same time fire in order of priority (lower first), then
// in the order they were made. A repeating timer fires at origin + n ×
// interval for n = 1, 2, ... (computed, not accumulated, so a virtual clock
// hits frame times exactly).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <tuple>

#include "kit/clock.h"

namespace kit {

class RunLoop {
 public:
  using TimerId = std::uint64_t;
  using Task = std::function<void()>;

  // Priorities for timers due at the same instant.
  static constexpr int kEventPriority = 0;
  static constexpr int kFramePriority = 100;  // frames come after other events

  explicit RunLoop(const Clock& clock) : clock_(clock) {}
  RunLoop(const RunLoop&) = delete;
  RunLoop& operator=(const RunLoop&) = delete;

  const Clock& clock() const { return clock_; }

  // A timer that can never come due (a NaN time, a repeating one from an
  // infinite origin) is not kept: its id is invalid from the start.
  TimerId scheduleTimer(double fireAt, Task task, int priority = kEventPriority);
  TimerId scheduleRepeating(double origin, double interval, Task task,
                            int priority = kEventPriority);
  void invalidateTimer(TimerId id);
  bool isTimerValid(TimerId id) const { return timers_.count(id) != 0; }
  std::optional<double> dueTime(TimerId id) const;

  // The time and priority of the next timer due, if any.
  std::optional<double> nextTimerTime() const;
  std::optional<std::pair<double, int>> nextTimer() const;

  // Fires the single earliest timer if it is due at or before `time`
  // (without touching the clock); answers whether one fired.
  bool fireNextTimerDueBy(double time);
  // Fires every timer due by the clock's time, in order.
  void fireDueTimers();

  // Thread-safe. The task runs on the main thread at the next drain.
  void postToMainQueue(Task task);
  // Runs queued tasks, including those they post, on the calling thread.
  size_t drainMainQueue();
  // Runs the oldest queued task, if any.
  bool runOneTask();
  size_t pendingTasks() const;

 private:
  struct Timer {
    double origin;
    double interval;  // 0: once, at origin
    std::uint64_t n;
    int priority;
    Task task;
    double due() const {
      return interval > 0 ? origin + interval * static_cast<double>(n) : origin;
    }
  };

  const Clock& clock_;
  std::map<TimerId, Timer> timers_;
  TimerId nextId_ = 1;

  mutable std::mutex queueMutex_;
  std::deque<Task> queue_;
};

}  // namespace kit
