#include <thread>

#include "support/sdk_test.hpp"
#include "tavrino/platform/linux_screen.hpp"

namespace tavrino::platform {
namespace {

using namespace std::chrono_literals;

class NotificationCenterTest : public testing::SdkTest {
 protected:
  NotificationCenter& center() { return current().notificationCenter(); }
  // An observer of name that adds its name and what it read to seen.
  Observation observe(std::string name) {
    return center().addObserver(name, [this, name](const Notification& n) {
      const auto end = n.rect(keyboardFrameEndUserInfoKey);
      seen.push_back(name + (end ? " " + std::to_string(int(end->origin.y)) : ""));
      if (n.number("count") == 3.0) seen.back() += dispatch().isMainThread() ? " main" : " other";
    });
  }
  std::vector<std::string> seen;
};

// On the main loop, in order, past failing observers, and never for one
// removed before its turn or after the platform went.
TEST_F(NotificationCenterTest, DeliversOnTheMainLoopInOrderToObserversStillThere) {
  const auto keyboard = std::string(keyboardWillChangeFrameNotification);
  auto failing = center().addObserver(keyboard, [&](const Notification&) {
    seen.push_back("failing");
    throw std::runtime_error("host observer failed");
  });
  auto second = observe(keyboard);
  auto other = observe(std::string(deviceOrientationDidChangeNotification));
  center().post(
      {keyboard, {{std::string(keyboardFrameEndUserInfoKey), ui::Rect::make(0, 500, 1, 1)}}});
  EXPECT_TRUE(seen.empty());  // not inside post()
  EXPECT_NO_THROW(dispatch().runUntilIdle());

  Observation victim;  // removed by an earlier observer of the same delivery
  auto remover = center().addObserver("z", [&](const Notification&) { victim.reset(); });
  victim = observe("z");
  center().post({"z", {}});
  auto between = observe("w");  // removed between post and delivery
  center().post({"w", {}});
  between.reset();
  Observation moved = observe("v");  // moved observations keep one registration
  Observation target = std::move(moved);
  center().post({"v", {}});

  auto background = observe("bg");
  std::thread([&] { center().post({"bg", {{"count", 3.0}}}); }).join();
  EXPECT_TRUE(dispatch().runUntil([&] { return seen.size() == 4; }, 5s));
  EXPECT_EQ(seen, (std::vector<std::string>{"failing", keyboard + " 500", "v", "bg main"}));
  EXPECT_FALSE(victim.isActive());

  // An observation may outlive the platform; its queued deliveries go with it.
  center().post({"v", {}});
  restartPlatform();
  dispatch().runUntilIdle();
  target.reset();
  EXPECT_EQ(seen.size(), 4u);
}

TEST_F(NotificationCenterTest, ScreenBoundsFollowTheSystemAndTurningPostsOnce) {
  auto& screen = dynamic_cast<LinuxScreen&>(current().screen());
  EXPECT_EQ(std::pair(screen.bounds(), screen.statusBarFrame()),
            std::pair(ui::Rect::make(0, 0, 390, 844), ui::Rect::make(0, 0, 390, 47)));
  std::vector<DeviceOrientation> turns;
  auto obs = center().addObserver(
      std::string(deviceOrientationDidChangeNotification),
      [&](const Notification&) { turns.push_back(current().screen().deviceOrientation()); });

  dynamic_cast<LinuxSystemInfo&>(current().systemInfo()).setScreenNativeBounds({750, 1334});
  screen.setScale(2);
  screen.setScale(0);  // ignored
  const ui::Rect portrait = screen.bounds();
  screen.setDeviceOrientation(DeviceOrientation::portrait);  // unchanged: nothing
  screen.setDeviceOrientation(DeviceOrientation::landscapeLeft);
  screen.setDeviceOrientation(DeviceOrientation::landscapeLeft);
  EXPECT_TRUE(turns.empty());  // posted on the main loop
  dispatch().runUntilIdle();
  screen.setStatusBarHidden(true);
  EXPECT_EQ(
      std::tuple(turns, portrait, screen.bounds(), screen.nativeBounds(), screen.statusBarFrame()),
      std::tuple(std::vector{DeviceOrientation::landscapeLeft}, ui::Rect::make(0, 0, 375, 667),
                 ui::Rect::make(0, 0, 667, 375), ui::Rect::make(0, 0, 750, 1334), ui::Rect{}));
}

}  // namespace
}  // namespace tavrino::platform
