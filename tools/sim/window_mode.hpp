#pragma once

// The simulator's host in a real window: when the desktop library is built,
// the scenario plays through the desktop platform in a GTK window (on a
// private X server when there is no display), GTK draws the host's and the
// SDK's views, WebKit runs the web views, and the pictures are screenshots of
// that window. The simulator's core knows it only through this interface.
//
// Thread-safety: main thread only.

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "tavrino/platform/linux.hpp"
#include "tavrino/ui/window.hpp"

namespace tavrino::sim {

// The SDK's work on the host's main loop, in milliseconds.
struct MainLoopCost {
  std::size_t tasks = 0;
  double median = 0, p99 = 0;
  // The longest tasks, longest first: time and what each ran during which
  // step.
  std::vector<std::pair<double, std::string>> slowest;
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
};

// The window mode, or null with why when this build or machine has none.
std::unique_ptr<WindowMode> openWindowMode(std::string* why);

}  // namespace tavrino::sim
