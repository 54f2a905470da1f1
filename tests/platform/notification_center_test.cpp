#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/sdk_test.hpp"
#include "tavrino/platform/linux_screen.hpp"

namespace tavrino::platform {
namespace {

using namespace std::chrono_literals;

Notification keyboard(ui::Rect end) {
  return {std::string(keyboardWillChangeFrameNotification),
          {{std::string(keyboardFrameEndUserInfoKey), end}}};
}

class NotificationCenterTest : public testing::SdkTest {
 protected:
  NotificationCenter& center() { return current().notificationCenter(); }
};

TEST_F(NotificationCenterTest, DeliversOnTheMainLoopInOrderPastFailingObservers) {
  std::vector<std::string> seen;
  const auto name = std::string(keyboardWillChangeFrameNotification);
  auto first = center().addObserver(name, [&](const Notification& n) {
    const auto end = n.rect(keyboardFrameEndUserInfoKey);
    seen.push_back("first " + (end ? std::to_string(end->origin.y) : "none"));
    throw std::runtime_error("host observer failed");
  });
  auto second = center().addObserver(name, [&](const Notification&) { seen.push_back("second"); });
  auto other = center().addObserver(std::string(deviceOrientationDidChangeNotification),
                                    [&](const Notification&) { seen.push_back("other"); });
  center().post(keyboard(ui::Rect::make(0, 500, 390, 344)));
  EXPECT_TRUE(seen.empty());  // not inside post()
  EXPECT_NO_THROW(dispatch().runUntilIdle());
  EXPECT_EQ(seen, (std::vector<std::string>{"first 500.000000", "second"}));

  // User info of the wrong type reads as absent.
  const Notification n{"k", {{std::string(keyboardFrameEndUserInfoKey), std::string("0 0 1 1")}}};
  EXPECT_FALSE(n.rect(keyboardFrameEndUserInfoKey));
  EXPECT_FALSE(n.number(keyboardFrameEndUserInfoKey));
  EXPECT_FALSE(n.rect("missing"));
}

TEST_F(NotificationCenterTest, RemovedObserverHearsNothingMore) {
  int late = 0;
  // Removed by an earlier observer of the same delivery.
  Observation victim;
  auto remover = center().addObserver("z", [&](const Notification&) { victim.reset(); });
  victim = center().addObserver("z", [&](const Notification&) { ++late; });
  center().post({"z", {}});
  dispatch().runUntilIdle();
  EXPECT_EQ(late, 0);
  EXPECT_FALSE(victim.isActive());

  // Removed between post and delivery.
  auto between = center().addObserver("w", [&](const Notification&) { ++late; });
  center().post({"w", {}});
  between.reset();
  dispatch().runUntilIdle();
  EXPECT_EQ(late, 0);

  // Moved observations keep one registration.
  auto moved = center().addObserver("v", [&](const Notification&) { ++late; });
  Observation target = std::move(moved);
  center().post({"v", {}});
  dispatch().runUntilIdle();
  EXPECT_EQ(late, 1);
}

TEST_F(NotificationCenterTest, PostFromAnotherThreadArrivesOnTheMainThread) {
  bool onMain = false;
  bool arrived = false;
  auto obs = center().addObserver("bg", [&](const Notification& n) {
    onMain = dispatch().isMainThread();
    arrived = n.number("count") == 3.0;
  });
  dispatch().runUntilIdle();  // this thread is the main thread from here on
  std::thread([&] { center().post({"bg", {{"count", 3.0}}}); }).join();
  EXPECT_TRUE(dispatch().runUntil([&] { return arrived; }, 5s));
  EXPECT_TRUE(onMain);
}

TEST_F(NotificationCenterTest, ObservationMayOutliveThePlatform) {
  int calls = 0;
  auto obs = center().addObserver("n", [&](const Notification&) { ++calls; });
  center().post({"n", {}});
  restartPlatform();  // its queued deliveries are dropped with it
  dispatch().runUntilIdle();
  obs.reset();
  EXPECT_EQ(calls, 0);
}

class LinuxScreenTest : public testing::SdkTest {
 protected:
  LinuxScreen& screen() { return dynamic_cast<LinuxScreen&>(current().screen()); }
};

TEST_F(LinuxScreenTest, BoundsFollowTheSystemInfoAndTheOrientation) {
  EXPECT_EQ(screen().bounds(), ui::Rect::make(0, 0, 390, 844));
  EXPECT_EQ(screen().statusBarFrame(), ui::Rect::make(0, 0, 390, 47));

  dynamic_cast<LinuxSystemInfo&>(current().systemInfo()).setScreenNativeBounds({750, 1334});
  screen().setScale(2);
  screen().setScale(0);  // ignored
  EXPECT_EQ(screen().bounds(), ui::Rect::make(0, 0, 375, 667));
  screen().setDeviceOrientation(DeviceOrientation::landscapeLeft);
  EXPECT_EQ(screen().bounds(), ui::Rect::make(0, 0, 667, 375));
  EXPECT_EQ(screen().nativeBounds(), ui::Rect::make(0, 0, 750, 1334));
  screen().setStatusBarHidden(true);
  EXPECT_EQ(screen().statusBarFrame(), ui::Rect{});
}

TEST_F(LinuxScreenTest, TurningTheDevicePostsOnceOnTheMainLoop) {
  std::vector<DeviceOrientation> seen;
  auto obs = current().notificationCenter().addObserver(
      std::string(deviceOrientationDidChangeNotification),
      [&](const Notification&) { seen.push_back(current().screen().deviceOrientation()); });
  screen().setDeviceOrientation(DeviceOrientation::portrait);  // unchanged: nothing
  screen().setDeviceOrientation(DeviceOrientation::landscapeRight);
  screen().setDeviceOrientation(DeviceOrientation::landscapeRight);
  EXPECT_TRUE(seen.empty());
  dispatch().runUntilIdle();
  EXPECT_EQ(seen, std::vector<DeviceOrientation>{DeviceOrientation::landscapeRight});
}

}  // namespace
}  // namespace tavrino::platform
