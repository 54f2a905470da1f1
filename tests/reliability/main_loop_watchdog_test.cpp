// The watchdog every SDK test runs under must catch a task that blocks the
// main loop for more than a frame, also after a restart, and fail the test
// once. (That it blames no quick task, nor a wait in the pump, every other
// test shows.)

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/sdk_test.hpp"

namespace tavrino::testing {
namespace {

using std::chrono::milliseconds;

class MainLoopWatchdogTest : public SdkTest {
 protected:
  // A loaded machine must not hide the stalls these tests plant.
  void SetUp() override {
    SdkTest::SetUp();
    watchdog().setDiscountMachineContention(false);
  }
  // The planted stalls are not the SDK's: keep them out of the worst figures.
  void TearDown() override {
    watchdog().reset();
    SdkTest::TearDown();
  }
  void sleepingTask() {
    dispatch().mainAsync([] { std::this_thread::sleep_for(milliseconds(20)); });
    dispatch().runUntilIdle();
  }
};

TEST_F(MainLoopWatchdogTest, OnlyTasksBlockingTheLoopOverAFrameAreStallsAndFailTheTestOnce) {
  sleepingTask();
  const auto stalls = watchdog().takeStalls();
  ASSERT_EQ(stalls.size(), 1u);
  EXPECT_GE(stalls[0].blockedMs, 16.0);
  EXPECT_LT(stalls[0].cpuMs, 16.0);

  // After a restart the loop is still watched, and the fixture fails the test.
  restartPlatform();
  sleepingTask();
  ::testing::TestPartResultArray results;
  {
    ::testing::ScopedFakeTestPartResultReporter reporter(
        ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
    checkMainLoopStalls();
  }
  ASSERT_EQ(results.size(), 1);
  EXPECT_TRUE(results.GetTestPartResult(0).nonfatally_failed());
  EXPECT_NE(std::string(results.GetTestPartResult(0).message()).find("kept the loop busy"),
            std::string::npos);
  EXPECT_TRUE(watchdog().takeStalls().empty()) << "reported once: TearDown finds nothing left";
}

}  // namespace
}  // namespace tavrino::testing
