#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/linux_dispatch.hpp"

namespace tavrino::platform {
namespace {

using namespace std::chrono_literals;

class DispatchTest : public ::testing::Test {
 protected:
  std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>(1'700'000'000);
  LinuxDispatch dispatch{clock, 2};
};

// Due order, first in first out among equal times; a cancelled item never
// runs, and one posted twice runs once.
TEST_F(DispatchTest, MainQueueRunsInDueOrderAndFifoAmongEqualTimes) {
  std::vector<int> order;
  const auto add = [&](int n) { return [&order, n] { order.push_back(n); }; };
  auto cancelled = std::make_shared<WorkItem>(add(-1));
  auto once = std::make_shared<WorkItem>(add(5));
  dispatch.mainAsyncAfter(20ms, add(4));
  dispatch.mainAsync(add(1));
  dispatch.mainAsyncAfter(10ms, add(2));
  dispatch.mainAsyncAfter(10ms, add(3));
  dispatch.mainAsyncAfter(5ms, cancelled);
  dispatch.mainAsync([&] {
    order.push_back(0);  // runs second: posted after 1 with the same due time
    dispatch.mainAsync(add(9));
  });
  cancelled->cancel();
  EXPECT_EQ(dispatch.runUntilIdle(), 3u);  // work posted by running work runs too
  EXPECT_EQ(order, (std::vector<int>{1, 0, 9}));
  clock->advance(10ms);
  dispatch.mainAsync(once);
  dispatch.mainAsync(once);
  dispatch.runUntilIdle();
  EXPECT_EQ(order, (std::vector<int>{1, 0, 9, 2, 3, 5}));
  dispatch.runFor(1s);  // fast-forwards the manual clock
  EXPECT_EQ(order.back(), 4);
  EXPECT_EQ(clock->now(), std::chrono::seconds(1'700'000'000) + 1010ms);
}

TEST_F(DispatchTest, RepeatingTimerFiresEachIntervalCollapsesMissedFiresAndStops) {
  int fires = 0;
  auto timer = dispatch.scheduledTimer(10ms, [&] { ++fires; });
  dispatch.runUntilIdle();
  EXPECT_EQ(fires, 0);
  dispatch.runFor(35ms);
  EXPECT_EQ(fires, 3);
  clock->advance(1s);  // a jump: one fire, not a hundred
  dispatch.runUntilIdle();
  EXPECT_EQ(fires, 4);
  timer->invalidate();
  dispatch.runFor(100ms);
  EXPECT_EQ(fires, 4);
}

// Global work runs off the main thread and can post back; run() returns when
// stopped from another thread.
TEST_F(DispatchTest, OtherThreadsPostBackAndStopTheLoop) {
  std::atomic<bool> ranOnMain{true}, back{false};
  dispatch.runUntilIdle();  // this thread is now the main thread
  dispatch.globalAsync(QualityOfService::utility, [&] {
    ranOnMain = dispatch.isMainThread();
    dispatch.mainAsync([&] { back = dispatch.isMainThread(); });
  });
  EXPECT_TRUE(dispatch.runUntil([&] { return back.load(); }, 5s) && !ranOnMain);

  std::atomic<int> ran{0};
  std::thread other([&] {
    dispatch.mainAsync([&] { ++ran; });
    dispatch.mainAsync([&] { dispatch.stop(); });
  });
  dispatch.run();
  other.join();
  EXPECT_EQ(ran, 1);
}

}  // namespace
}  // namespace tavrino::platform
