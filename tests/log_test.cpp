#include "kit/log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <limits>
#include <mutex>
#include <thread>

namespace {

using kit::formatLog;

struct Group {
  std::string description() const { return "<Group 3 photos>"; }
};

TEST(LogFormat, MessagesTheApplicationWrites) {
  EXPECT_EQ(formatLog("Friction: each frame velocities are multiplied by %1.4f", {0.9942404}),
            "Friction: each frame velocities are multiplied by 0.9942");
  EXPECT_EQ(formatLog("The device's upper left corner is at %1.0f,%1.0f", {-98.46, -115.0}),
            "The device's upper left corner is at -98,-115");
  EXPECT_EQ(formatLog("Tile array is %d by %d", {18, 18}), "Tile array is 18 by 18");
  EXPECT_EQ(
      formatLog("Stopped turning, rate %1.2f¬∫/frame below %1.2f¬∫", {0.0955, 0.19098593294620514}),
      "Stopped turning, rate 0.10¬∫/frame below 0.19¬∫");
  EXPECT_EQ(formatLog(" to topLeft=%1.1fº, topRight=%1.1fº", {12.34, -0.04}),
            " to topLeft=12.3º, topRight=-0.0º");
  EXPECT_EQ(formatLog("Group PropertyName is %@", {std::string("Tabletop")}),
            "Group PropertyName is Tabletop");
  EXPECT_EQ(formatLog("%d photos panning", {2}), "2 photos panning");
  EXPECT_EQ(formatLog("Continuing velocity of %1.2f,%1.2f", {5.0f, 0.0f}),
            "Continuing velocity of 5.00,0.00");
  EXPECT_EQ(formatLog("Requested Scale %1.1f is out of range", {2.01}),
            "Requested Scale 2.0 is out of range");
  EXPECT_EQ(formatLog("Group is %@", {Group{}}), "Group is <Group 3 photos>");
}

TEST(LogFormat, TextAndNumbersThroughTextConversions) {
  EXPECT_EQ(formatLog("%s and %@", {"one", std::string_view("two")}), "one and two");
  EXPECT_EQ(formatLog("%s|%@|%@", {42, 0.19098593294620514, 7u}), "42|0.190986|7");
  EXPECT_EQ(formatLog("%@ %@", {1e20, true}), "1e+20 1");
  EXPECT_EQ(formatLog("%s", {static_cast<const char*>(nullptr)}), "(null)");
  // Text is bytes: nothing in it is reinterpreted, including a '%'.
  EXPECT_EQ(formatLog("º %@ ¬∫", {"50% ¬∫ º"}), "º 50% ¬∫ º ¬∫");
  EXPECT_EQ(formatLog("[%s]", {std::string("a\0b", 3)}), std::string("[a\0b]", 5));
}

TEST(LogFormat, MismatchedArgumentsAreConverted) {
  EXPECT_EQ(formatLog("%d %i %d", {3.9, -3.9, 0.5f}), "3 -3 0");
  EXPECT_EQ(formatLog("%x %X %o %u", {255.7, 255.0, 8.2, 12.9}), "ff FF 10 12");
  EXPECT_EQ(formatLog("%f|%.2e|%g", {3, 1, 12u}), "3.000000|1.00e+00|12");
  EXPECT_EQ(formatLog("%d|%5.1f|%x", {"text", "abc", std::string("xy")}), "text|  abc|xy");
  EXPECT_EQ(formatLog("%c%c%c", {72, 105L, 33.0}), "Hi!");
  // Above ASCII %c writes the character, not a stray byte that breaks UTF-8.
  EXPECT_EQ(formatLog("%c|%c", {0xBA, 0x20AC}), "º|€");
  EXPECT_EQ(formatLog("%c", {0xD800}), "\xEF\xBF\xBD");
  EXPECT_EQ(formatLog("%d", {ULLONG_MAX}), "18446744073709551615");
}

TEST(LogFormat, UnrepresentableDoublesSaturateInIntegerConversions) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(formatLog("%d %d %d", {nan, inf, -inf}), "0 9223372036854775807 -9223372036854775808");
  EXPECT_EQ(formatLog("%d %i", {1e300, -1e300}), "9223372036854775807 -9223372036854775808");
  EXPECT_EQ(formatLog("%u %x", {1e30, nan}), "18446744073709551615 0");
  EXPECT_EQ(formatLog("%u", {1e19}), "10000000000000000000");
}

TEST(LogFormat, NonFiniteDoublesPrintAsPrintfDoes) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(formatLog("%f %f %f", {nan, inf, -inf}), "nan inf -inf");
  EXPECT_EQ(formatLog("%1.1f|%5.2f|%-5e|", {nan, inf, -inf}), "nan|  inf|-inf |");
  EXPECT_EQ(formatLog("%g %E %@ %s", {nan, inf, -inf, inf}), "nan INF -inf inf");
}

TEST(LogFormat, FlagsWidthAndPrecision) {
  EXPECT_EQ(formatLog("[%5d][%-5d][%05d][%+d][% d]", {42, 42, 42, 42, 42}),
            "[   42][42   ][00042][+42][ 42]");
  EXPECT_EQ(formatLog("[%05.1f][%+.2f][%#x][%#o][%.3d]", {3.14159, 2.0, 255, 8, 7}),
            "[003.1][+2.00][0xff][010][007]");
  EXPECT_EQ(formatLog("[%6s][%-6s][%.2s][%.0s]", {"ab", "ab", "abc", "abc"}),
            "[    ab][ab    ][ab][]");
  // Precision never leaves half a character behind.
  EXPECT_EQ(formatLog("[%.2s][%.3s]", {"aºb", "aºb"}), "[a][aº]");
  // Flags C leaves undefined for a conversion are dropped, not passed on.
  EXPECT_EQ(formatLog("[%#d][%0s][%#c]", {5, "a", 66}), "[5][a][B]");
}

TEST(LogFormat, StarTakesWidthAndPrecisionFromArguments) {
  EXPECT_EQ(formatLog("[%*d]", {4, 7}), "[   7]");
  EXPECT_EQ(formatLog("[%*d]", {-4, 7}), "[7   ]");
  EXPECT_EQ(formatLog("[%.*f]", {2, 3.14159}), "[3.14]");
  EXPECT_EQ(formatLog("[%.*f]", {-1, 1.5}), "[1.500000]");
  EXPECT_EQ(formatLog("[%*s] %d", {"x", "y", 5}), "[y] 5");
}

TEST(LogFormat, LengthModifiersAreAcceptedAndIgnored) {
  EXPECT_EQ(formatLog("%ld %lld %hd %hhd %zu %jd %td %qd %Lf %lf %lu",
                      {1, 2, 70000, 300, 5u, 6, 7, 8, 1.5, 2.5, 9u}),
            "1 2 70000 300 5 6 7 8 1.500000 2.500000 9");
}

TEST(LogFormat, MissingExtraAndLiteral) {
  EXPECT_EQ(formatLog("Tile array is %d by %d", {18}), "Tile array is 18 by ");
  EXPECT_EQ(formatLog("[%5d]", {}), "[]");
  EXPECT_EQ(formatLog("%d", {1, 2, 3}), "1");
  EXPECT_EQ(formatLog("100%% done", {}), "100% done");
  // Unknown conversions print as written and leave their argument for the next.
  EXPECT_EQ(formatLog("%y %d", {5}), "%y 5");
  EXPECT_EQ(formatLog("%-5.2k|%º", {}), "%-5.2k|%º");
  EXPECT_EQ(formatLog("%*y %d", {3}), "%*y 3");
  for (const char* unfinished : {"100%", "%-", "%5", "%5.", "%.*", "%ll", "x%#08.3h"})
    EXPECT_EQ(formatLog(unfinished, {1, 2}), unfinished) << unfinished;
}

TEST(LogFormat, HugeFieldsAreCapped) {
  EXPECT_EQ(formatLog("%100000d", {1}).size(), 4096u);
  EXPECT_EQ(formatLog("%99999999999999999999999d", {1}).size(), 4096u);
  EXPECT_EQ(formatLog("%.100000f", {1.0}).size(), 2u + 4096u);
  EXPECT_EQ(formatLog("%*d", {INT_MIN, 1}).size(), 4096u);
  EXPECT_EQ(formatLog("%*d", {LLONG_MIN, 1}).size(), 4096u);
  // Large values are not field sizes, so they print in full.
  EXPECT_EQ(formatLog("%f", {1e308}).size(), 309u + 7u);
}

TEST(LogSink, CaptureCollectsMessagesAndRestoresThePreviousSink) {
  std::vector<std::string> outer;
  kit::setLogSink([&outer](const std::string& m) { outer.push_back(m); });
  {
    kit::LogCapture capture;
    kit::log("Tile array is %d by %d", 18, 18);
    {
      kit::LogCapture inner;
      kit::log("inner");
      EXPECT_EQ(inner.lines(), std::vector<std::string>{"inner"});
    }
    kit::log("%d photos panning", 2);
    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>{"Tile array is 18 by 18", "2 photos panning"}));
  }
  kit::log("after");
  kit::setLogSink({});
  EXPECT_EQ(outer, std::vector<std::string>{"after"});
}

TEST(LogSink, ASinkMayLogAndReplaceTheSink) {
  kit::LogCapture capture;
  {
    std::vector<std::string> seen;
    kit::setLogSink([&seen](const std::string& m) {
      seen.push_back(m);
      if (seen.size() == 1) kit::log("echo of %@", m);  // would deadlock on a plain held lock
    });
    kit::log("first");
    EXPECT_EQ(seen, (std::vector<std::string>{"first", "echo of first"}));
  }

  // A sink that always logs must not recurse without end.
  std::atomic<int> calls = 0;
  kit::setLogSink([&calls](const std::string& m) {
    ++calls;
    kit::writeLog(m + "+");
  });
  kit::writeLog("loop");
  EXPECT_GT(calls.load(), 1);
  EXPECT_LT(calls.load(), 100);

  int replaced = 0;
  kit::setLogSink([&replaced](const std::string&) {
    kit::setLogSink([&replaced](const std::string&) { replaced += 10; });
    replaced += 1;
  });
  kit::writeLog("a");
  kit::writeLog("b");
  EXPECT_EQ(replaced, 11);
}

TEST(LogSink, MessagesFromSeveralThreadsAllArrive) {
  std::mutex mutex;
  std::vector<std::string> lines;
  kit::setLogSink([&](const std::string& m) {
    std::lock_guard lock(mutex);
    lines.push_back(m);
  });
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 250; ++i) kit::log("thread %d message %d", t, i);
    });
  for (auto& thread : threads) thread.join();
  kit::setLogSink({});
  ASSERT_EQ(lines.size(), 1000u);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "thread 3 message 249"), 1);
}

}  // namespace
