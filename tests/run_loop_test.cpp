#include "kit/run_loop.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "kit/clock.h"

namespace {

using kit::RunLoop;

struct RunLoopTest : ::testing::Test {
  kit::VirtualClock clock;
  RunLoop loop{clock};
  std::string fired;

  RunLoop::Task note(char c) {
    return [this, c] { fired += c; };
  }
  // Steps the clock from timer to timer, as a host does.
  void runUntil(double end) {
    for (auto next = loop.nextTimerTime(); next && *next <= end; next = loop.nextTimerTime()) {
      clock.set(*next);
      loop.fireNextTimerDueBy(*next);
    }
  }
};

TEST_F(RunLoopTest, TimeThenPriorityThenCreationOrder) {
  loop.scheduleTimer(2, note('d'));
  loop.scheduleTimer(1, note('c'), RunLoop::kFramePriority);
  loop.scheduleTimer(1, note('a'));
  loop.scheduleTimer(1, note('b'));
  loop.scheduleTimer(3, note('e'));
  EXPECT_FALSE(loop.fireNextTimerDueBy(0.5));
  clock.set(2);
  loop.fireDueTimers();
  EXPECT_EQ(fired, "abcd");
  EXPECT_EQ(loop.nextTimerTime(), 3);
}

TEST_F(RunLoopTest, RepeatingTimesAreComputedNotAccumulated) {
  std::vector<double> times;
  const double interval = 1.0 / 120;
  loop.scheduleRepeating(0, interval, [&] { times.push_back(clock.now()); });
  runUntil(1.0);
  ASSERT_EQ(times.size(), 120u);
  EXPECT_EQ(times[119], 120 * interval);  // summing the interval lands short of 1

  int ticks = 0;
  const auto id = loop.scheduleRepeating(0.3, 0.1, [&] { ++ticks; });
  clock.set(1.0);  // 0.3 + 0.1 * 7 is 1.0 exactly; seven additions are not
  loop.fireDueTimers();
  EXPECT_EQ(ticks, 7);
  EXPECT_EQ(loop.dueTime(id), 0.3 + 0.1 * 8);
}

TEST_F(RunLoopTest, TasksMayInvalidateTheirOwnTimerOrScheduleMore) {
  int ticks = 0;
  RunLoop::TimerId id = 0;
  id = loop.scheduleRepeating(0, 1, [&] {
    if (++ticks == 3) {
      loop.invalidateTimer(id);
      loop.scheduleTimer(clock.now(), note('x'));
    }
  });
  clock.set(10);
  loop.fireDueTimers();
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(fired, "x");
  EXPECT_FALSE(loop.isTimerValid(id));
}

TEST_F(RunLoopTest, TimersThatCanNeverComeDueAreNotKept) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const auto never = loop.scheduleTimer(kNaN, note('n'));
  const auto endless = loop.scheduleRepeating(-kInf, 1, note('r'));
  loop.scheduleTimer(2, note('b'));
  loop.scheduleTimer(1, note('a'));
  EXPECT_FALSE(loop.isTimerValid(never));
  ASSERT_FALSE(loop.isTimerValid(endless));  // kept, it would fire forever below
  EXPECT_FALSE(loop.fireNextTimerDueBy(kNaN));
  clock.set(5);
  loop.fireDueTimers();
  EXPECT_EQ(fired, "ab");
}

TEST_F(RunLoopTest, MainQueueTakesWorkFromOtherThreads) {
  constexpr int kThreads = 4, kTasks = 500;
  int ran = 0;  // touched only by the draining thread
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < kTasks; ++i) loop.postToMainQueue([&] { ++ran; });
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(loop.pendingTasks(), size_t{kThreads * kTasks});
  loop.postToMainQueue([&] { loop.postToMainQueue(note('p')); });
  EXPECT_EQ(loop.drainMainQueue(), size_t{kThreads * kTasks + 2});
  EXPECT_EQ(ran, kThreads * kTasks);
  EXPECT_EQ(fired, "p");
}

}  // namespace
