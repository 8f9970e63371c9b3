#include "kit/background_queue.h"

#include <utility>

namespace kit {

BackgroundQueue::~BackgroundQueue() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    pending_.clear();
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void BackgroundQueue::start(Work work) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    pending_.push_back(std::move(work));
    // Counted as working from now on, so a settle() right after start()
    // waits for the job instead of finding the queue quiet.
    working_ = true;
  }
  changed_.notify_all();
  if (onMainThread()) return;  // settle() runs it
  if (!worker_.joinable()) worker_ = std::thread([this] { workerLoop(); });
}

void BackgroundQueue::runNextOnMainThread() {
  Work work = std::move(pending_.front());
  pending_.pop_front();
  running_ = true;
  working_ = true;
  Job job(*this);
  work(job);
  running_ = false;
  working_ = !pending_.empty();
}

void BackgroundQueue::workerLoop() {
  Job job(*this);
  for (;;) {
    Work work;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
      if (stopping_) return;
      work = std::move(pending_.front());
      pending_.pop_front();
      running_ = true;
      working_ = true;
    }
    work(job);
    {
      std::lock_guard lock(mutex_);
      running_ = false;
      working_ = !pending_.empty();
    }
    changed_.notify_all();
  }
}

void BackgroundQueue::settle() {
  if (onMainThread()) {
    for (;;) {
      mainLoop_.drainMainQueue();
      if (pending_.empty()) return;
      runNextOnMainThread();
    }
  }
  for (;;) {
    mainLoop_.drainMainQueue();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return quietLocked() || mainLoop_.pendingTasks() > 0; });
    if (quietLocked() && mainLoop_.pendingTasks() == 0) return;
  }
}

std::size_t BackgroundQueue::step() {
  if (onMainThread()) {
    while (!pending_.empty()) runNextOnMainThread();
  }
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return quietLocked(); });
  }
  // Only what is queued now: what the tasks' answers make the job post
  // next belongs to the next step.
  std::size_t ran = 0;
  for (std::size_t n = mainLoop_.pendingTasks(); n > 0; --n) ran += mainLoop_.runOneTask() ? 1 : 0;
  return ran;
}

bool BackgroundQueue::hasJobs() const {
  std::lock_guard lock(mutex_);
  return running_ || !pending_.empty();
}

void BackgroundQueue::Job::post(RunLoop::Task task) {
  queue_.mainLoop_.postToMainQueue(std::move(task));
  // Under the lock, so a settle() that has just looked at the main queue is
  // already waiting when the notification comes.
  { std::lock_guard lock(queue_.mutex_); }
  queue_.changed_.notify_all();
}

void BackgroundQueue::Job::update(const std::function<void()>& change) {
  {
    std::lock_guard lock(queue_.mutex_);
    change();
    // The job counts as working from the moment its wait is over, not from
    // when its thread wakes: a settle() right after the answer must wait
    // for what the job does with it.
    if (queue_.waitingFor_ && (*queue_.waitingFor_)()) queue_.working_ = true;
  }
  queue_.changed_.notify_all();
}

bool BackgroundQueue::Job::waitUntil(const std::function<bool()>& ready) {
  if (queue_.onMainThread()) {
    // The main thread is this one: it delivers what the job posted until
    // the answer is in. Nothing left to deliver means none will come.
    while (!queue_.stopping_ && !ready())
      if (!queue_.mainLoop_.runOneTask()) return false;
    return !queue_.stopping_;
  }
  std::unique_lock lock(queue_.mutex_);
  if (queue_.stopping_) return false;
  if (ready()) return true;
  queue_.waitingFor_ = &ready;
  queue_.working_ = false;
  queue_.changed_.notify_all();
  queue_.changed_.wait(lock, [&] { return queue_.stopping_ || ready(); });
  queue_.waitingFor_ = nullptr;
  queue_.working_ = true;
  return !queue_.stopping_;
}

bool BackgroundQueue::Job::stopRequested() const {
  std::lock_guard lock(queue_.mutex_);
  return queue_.stopping_;
}

}  // namespace kit
