#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tavrino/platform/linux_application.hpp"
#include "tavrino/platform/linux_motion_manager.hpp"

namespace tavrino::platform {
namespace {

TEST(LinuxApplicationTest, RecordsEveryOpenedUrlAcrossThreads) {
  LinuxApplication app;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&app, t] {
      for (int i = 0; i < 50; ++i) app.openURL("https://a.example/" + std::to_string(t));
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(app.openedURLs().size(), 200u);
}

TEST(LinuxMotionManagerTest, SamplesCountOnlyWhileUpdatesRun) {
  LinuxMotionManager motion;
  motion.feed({1, 2, 3});
  motion.startAccelerometerUpdates();
  EXPECT_FALSE(motion.accelerometerData().has_value());  // fed before the start
  motion.feed({0.5, -1, 2.5});
  ASSERT_TRUE(motion.accelerometerData().has_value());
  EXPECT_EQ(motion.accelerometerData()->y, -1);
  motion.stopAccelerometerUpdates();
  EXPECT_FALSE(motion.accelerometerData().has_value());
  motion.feed({1, 1, 1});
  EXPECT_FALSE(motion.accelerometerData().has_value());
}

}  // namespace
}  // namespace tavrino::platform
