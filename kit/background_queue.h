// Work off the main thread: one worker thread that runs jobs one after the
// other, in the order they were started. A job hands its results to the
// main thread by posting to the run loop's main queue, and may wait for the
// main thread's answer to what it posted.
//
// A build without threads (the browser's, which would otherwise need
// cross-origin isolation from whatever serves it) runs the same jobs on the
// main thread instead, when the host settles the queue between frames.
//
// Jobs run one at a time so that what they post reaches the main thread in
// one reproducible order however the threads are scheduled. A host on a
// virtual clock calls settle() to let every job run until it either ends or
// waits for the main thread, and delivers what it posted: the results of
// background work then arrive at the same step of a run every time.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "kit/run_loop.h"

namespace kit {

// Where the jobs run.
enum class BackgroundThreads {
  Worker,      // a thread of the queue's own
  MainThread,  // the main thread, when the queue is settled
};

#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
inline constexpr BackgroundThreads kDefaultBackgroundThreads = BackgroundThreads::MainThread;
#else
inline constexpr BackgroundThreads kDefaultBackgroundThreads = BackgroundThreads::Worker;
#endif

class BackgroundQueue {
 public:
  class Job;
  using Work = std::function<void(Job&)>;

  explicit BackgroundQueue(RunLoop& mainLoop, BackgroundThreads threads = kDefaultBackgroundThreads)
      : mainLoop_(mainLoop), threads_(threads) {}
  // Asks the running job to stop, drops the ones not started and joins the
  // worker. Tasks already posted stay in the main queue.
  ~BackgroundQueue();
  BackgroundQueue(const BackgroundQueue&) = delete;
  BackgroundQueue& operator=(const BackgroundQueue&) = delete;

  // Main thread. The job runs after those started before it.
  void start(Work work);

  // Main thread: delivers main-queue tasks until no job is working (each
  // has ended or waits for the main thread) and the queue is empty. Without
  // threads, this is where the jobs run, one after the other, each to its
  // end: a job's wait for the main thread delivers main-queue tasks until
  // what it waits for holds.
  void settle();
  // Main thread: waits until no job is working, then runs the tasks queued
  // at that moment (and only those). Answers how many ran.
  std::size_t step();
  // Whether a job is running or waiting to start.
  bool hasJobs() const;

  // What a running job can do.
  class Job {
   public:
    // Any thread: queues task for the main thread.
    void post(RunLoop::Task task);
    // Worker: changes shared state under the queue's lock and wakes waiters;
    // main thread: the same, for answers a job waits for.
    void update(const std::function<void()>& change);
    // Worker: waits until ready() (read under the queue's lock) holds;
    // false when the queue is shutting down instead.
    bool waitUntil(const std::function<bool()>& ready);
    bool stopRequested() const;
    // How the job starts work of its own alongside it (std::async): in
    // parallel where there are threads, else when its result is asked for.
    std::launch parallelLaunch() const {
      return queue_.onMainThread() ? std::launch::deferred : std::launch::async;
    }

   private:
    friend class BackgroundQueue;
    explicit Job(BackgroundQueue& queue) : queue_(queue) {}
    BackgroundQueue& queue_;
  };

 private:
  bool onMainThread() const { return threads_ == BackgroundThreads::MainThread; }
  void workerLoop();
  // Without threads: runs the oldest pending job to its end, here.
  void runNextOnMainThread();
  bool quietLocked() const { return !working_; }

  RunLoop& mainLoop_;
  const BackgroundThreads threads_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Work> pending_;
  bool working_ = false;  // a job is computing (not waiting for the main thread)
  bool running_ = false;  // a job has started and not ended
  bool stopping_ = false;
  const std::function<bool()>* waitingFor_ = nullptr;  // what the job waits for
  std::thread worker_;
};

}  // namespace kit
