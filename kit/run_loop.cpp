#include "kit/run_loop.h"

#include <cmath>
#include <utility>

namespace kit {

RunLoop::TimerId RunLoop::scheduleTimer(double fireAt, Task task, int priority) {
  const TimerId id = nextId_++;
  // A NaN time is never due, yet compares neither before nor after other
  // times: kept, it would be picked ahead of earlier timers and fire at
  // once. The id answers as invalid instead.
  if (std::isnan(fireAt)) return id;
  timers_.emplace(id, Timer{fireAt, 0, 0, priority, std::move(task)});
  return id;
}

RunLoop::TimerId RunLoop::scheduleRepeating(double origin, double interval, Task task,
                                            int priority) {
  if (!(interval > 0)) return scheduleTimer(origin, std::move(task), priority);
  const TimerId id = nextId_++;
  // From an infinite origin every tick is due at the same NaN or infinite
  // time, so a loop catching up would never get past it.
  if (!std::isfinite(origin)) return id;
  timers_.emplace(id, Timer{origin, interval, 1, priority, std::move(task)});
  return id;
}

void RunLoop::invalidateTimer(TimerId id) { timers_.erase(id); }

std::optional<double> RunLoop::dueTime(TimerId id) const {
  auto it = timers_.find(id);
  if (it == timers_.end()) return std::nullopt;
  return it->second.due();
}

std::optional<std::pair<double, int>> RunLoop::nextTimer() const {
  std::optional<std::tuple<double, int, TimerId>> best;
  for (const auto& [id, t] : timers_) {
    const auto key = std::make_tuple(t.due(), t.priority, id);
    if (!best || key < *best) best = key;
  }
  if (!best) return std::nullopt;
  return std::make_pair(std::get<0>(*best), std::get<1>(*best));
}

std::optional<double> RunLoop::nextTimerTime() const {
  if (auto next = nextTimer()) return next->first;
  return std::nullopt;
}

bool RunLoop::fireNextTimerDueBy(double time) {
  std::optional<std::tuple<double, int, TimerId>> best;
  for (const auto& [id, t] : timers_) {
    const auto key = std::make_tuple(t.due(), t.priority, id);
    if (!best || key < *best) best = key;
  }
  // Asked the other way round, a NaN time would let every timer through.
  if (!best || !(std::get<0>(*best) <= time)) return false;
  const TimerId id = std::get<2>(*best);
  Timer& timer = timers_.at(id);
  // Copy the task: it may invalidate its own timer.
  Task task = timer.task;
  if (timer.interval > 0)
    ++timer.n;
  else
    timers_.erase(id);
  task();
  return true;
}

void RunLoop::fireDueTimers() {
  while (fireNextTimerDueBy(clock_.now())) {
  }
}

void RunLoop::postToMainQueue(Task task) {
  std::lock_guard lock(queueMutex_);
  queue_.push_back(std::move(task));
}

size_t RunLoop::drainMainQueue() {
  size_t ran = 0;
  for (;;) {
    Task task;
    {
      std::lock_guard lock(queueMutex_);
      if (queue_.empty()) return ran;
      task = std::move(queue_.front());
      queue_.pop_front();
    }
    task();
    ++ran;
  }
}

bool RunLoop::runOneTask() {
  Task task;
  {
    std::lock_guard lock(queueMutex_);
    if (queue_.empty()) return false;
    task = std::move(queue_.front());
    queue_.pop_front();
  }
  task();
  return true;
}

size_t RunLoop::pendingTasks() const {
  std::lock_guard lock(queueMutex_);
  return queue_.size();
}

}  // namespace kit
