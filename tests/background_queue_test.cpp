// The background queue in both of its ways of running jobs: on a worker
// thread, and on the main thread when it is settled (the browser build,
// which has no threads). A job must see the same answers, and the main
// thread the same tasks in the same order, either way.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kit/background_queue.h"
#include "kit/clock.h"
#include "kit/run_loop.h"

namespace {

using kit::BackgroundQueue;
using kit::BackgroundThreads;

class BackgroundQueueTest : public testing::TestWithParam<BackgroundThreads> {
 protected:
  kit::VirtualClock clock;
  kit::RunLoop loop{clock};
  BackgroundQueue queue{loop, GetParam()};
  std::vector<std::string> seen;  // main thread only
};

TEST_P(BackgroundQueueTest, JobsPostInOrderAndWaitForTheMainThreadsAnswer) {
  int answer = 0;  // written by the main thread, read by the job, under the queue's lock
  for (int n = 1; n <= 2; ++n) {
    queue.start([&, n](BackgroundQueue::Job& job) {
      job.post([&, n] { seen.push_back("job " + std::to_string(n) + " asks"); });
      job.post([&, &job = job, n] { job.update([&] { answer = 10 * n; }); });
      ASSERT_TRUE(job.waitUntil([&] { return answer == 10 * n; }));
      const int got = answer;
      job.post([&, got] { seen.push_back("got " + std::to_string(got)); });
    });
  }
  queue.settle();
  EXPECT_EQ(seen, (std::vector<std::string>{"job 1 asks", "got 10", "job 2 asks", "got 20"}));
  EXPECT_FALSE(queue.hasJobs());
}

TEST_P(BackgroundQueueTest, ParallelWorkOfAJobGivesItsResult) {
  int result = 0;
  queue.start([&](BackgroundQueue::Job& job) {
    auto part = std::async(job.parallelLaunch(), [] { return 6 * 7; });
    const int value = part.get();
    job.post([&, value] { result = value; });
  });
  queue.settle();
  EXPECT_EQ(result, 42);
}

INSTANTIATE_TEST_SUITE_P(BothWays, BackgroundQueueTest,
                         testing::Values(BackgroundThreads::Worker, BackgroundThreads::MainThread),
                         [](const auto& info) {
                           return info.param == BackgroundThreads::Worker ? "Worker" : "MainThread";
                         });

TEST(BackgroundQueueOnMainThread, AJobWaitsForSettleAndNeverRunsInsideStart) {
  kit::VirtualClock clock;
  kit::RunLoop loop{clock};
  BackgroundQueue queue{loop, BackgroundThreads::MainThread};
  bool ran = false;
  queue.start([&](BackgroundQueue::Job&) { ran = true; });
  // The caller of start() goes on first, as it would with a worker.
  EXPECT_FALSE(ran);
  EXPECT_TRUE(queue.hasJobs());
  queue.settle();
  EXPECT_TRUE(ran);
}

TEST(BackgroundQueueOnMainThread, AWaitNothingCanAnswerEndsInsteadOfHanging) {
  kit::VirtualClock clock;
  kit::RunLoop loop{clock};
  BackgroundQueue queue{loop, BackgroundThreads::MainThread};
  bool waited = true;
  queue.start([&](BackgroundQueue::Job& job) { waited = job.waitUntil([] { return false; }); });
  queue.settle();
  EXPECT_FALSE(waited);
  EXPECT_FALSE(queue.hasJobs());
}

TEST(BackgroundQueueOnMainThread, AJobStartedByATaskRunsInTheSameSettle) {
  kit::VirtualClock clock;
  kit::RunLoop loop{clock};
  BackgroundQueue queue{loop, BackgroundThreads::MainThread};
  std::vector<int> order;
  queue.start([&](BackgroundQueue::Job& job) {
    order.push_back(1);
    job.post([&] { queue.start([&](BackgroundQueue::Job&) { order.push_back(2); }); });
  });
  queue.settle();
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

}  // namespace
