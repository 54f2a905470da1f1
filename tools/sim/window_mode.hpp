#pragma once

// The simulator's host in a real window: when the desktop library is built,
// the scenario plays through the desktop platform in a GTK window (on a
// private X server, session bus and notification server when there is no
// display), GTK draws the host's and the SDK's views, WebKit runs the web
// views, notifications go to the notification server, and the pictures are
// screenshots of that window, or of the whole screen for a notification. The
// simulator's core knows it only through this interface.
//
// Thread-safety: main thread only.

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "tavrino/platform/linux.hpp"
#include "tavrino/platform/user_notification_center.hpp"
#include "tavrino/ui/window.hpp"

namespace tavrino::sim {

// Work on the host's main loop, in milliseconds.
struct LoopWork {
  std::size_t tasks = 0;
  double median = 0, p99 = 0, total = 0;
  // The longest pieces, longest first: time and what each ran, for which
  // campaigns, during which step.
  std::vector<std::pair<double, std::string>> slowest;
};

struct MainLoopCost {
  LoopWork sdk;      // the SDK's main-queue tasks
  LoopWork toolkit;  // the platform's own idle work (web views, loads)
};

// What the notification server displayed, as it reported it.
struct ServerNotification {
  std::string summary, body, image;
};

class WindowMode {
 public:
  virtual ~WindowMode() = default;

  // Where the window is shown, for the timeline.
  virtual std::string where() const = 0;
  // The desktop platform over base; state keeps the application's state.
  // name tells what a main-queue task that ran that callable was (called
  // after every task, on the main thread), for the cost report.
  virtual std::unique_ptr<platform::Platform> makePlatform(
      platform::LinuxPlatformOptions base, std::shared_ptr<platform::LinuxApplication> state,
      std::function<std::string(const std::type_info&)> name) = 0;
  // Shows window in a GTK window, the size of its bounds; its tree observer
  // keeps being told too.
  virtual void show(const std::shared_ptr<ui::Window>& window) = 0;
  // Draws the window as it is now into png; false when it cannot.
  virtual bool screenshot(const std::filesystem::path& png) = 0;
  virtual MainLoopCost cost() const = 0;

  // Has the desktop's notification server show request, running the main
  // loop until it displays it; nothing, with why, when it did not (no
  // server, or a server of the user's own desktop that cannot be watched).
  virtual std::optional<ServerNotification> showNotification(platform::NotificationRequest request,
                                                             std::string* why) = 0;
  // Answers the notification shown last through the server, as its user
  // would: a button's identifier or defaultActionIdentifier. False when no
  // notification was shown that way.
  virtual bool answerNotification(const std::string& action) = 0;
  // Draws the whole screen (the notification server's windows included) into
  // png; false when it cannot or the screen is not the simulator's own.
  virtual bool screenshotScreen(const std::filesystem::path& png) = 0;
};

// The window mode, or null with why when this build or machine has none.
std::unique_ptr<WindowMode> openWindowMode(std::string* why);

}  // namespace tavrino::sim
