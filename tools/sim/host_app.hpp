#pragma once

// The host application the simulator plays: a key window the size of the
// platform's screen, mirrored through the public tree observer, the
// scenario's screens as view controllers with the host's own views, the
// Tavrino client set up as the scenario says, and the host methods that
// campaigns may call by name.
//
// Thread-safety: main thread only.

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "sim/mirror.hpp"
#include "sim/scenario.hpp"
#include "sim/timeline.hpp"
#include "tavrino/client.hpp"
#include "tavrino/ui/window.hpp"

namespace tavrino::sim {

class HostApp {
 public:
  // Shows the window, installs the mirror and sets the SDK up against
  // baseUrl. The debug log goes on, so the timeline can tell the SDK's
  // decisions.
  // verbose shows every progress step the SDK records, not only the
  // notable ones.
  // dataDirectory is the platform's: the notification extension runs over
  // it too.
  HostApp(const Scenario& scenario, const std::string& baseUrl, std::filesystem::path dataDirectory,
          Timeline& timeline, bool verbose);
  ~HostApp();
  HostApp(const HostApp&) = delete;
  HostApp& operator=(const HostApp&) = delete;

  Tavrino& client() { return *client_; }
  Mirror& mirror() { return *mirror_; }
  const std::string& baseUrl() const { return baseUrl_; }
  const std::filesystem::path& dataDirectory() const { return dataDirectory_; }
  // Where "/" notification images come from: the service itself.
  std::string contentDeliveryOrigin() const;
  const std::shared_ptr<ui::Window>& window() const { return window_; }

  // Makes the named screen the window's content (a new controller, as a
  // host navigating to it does) and returns its controller.
  std::shared_ptr<ui::ViewController> show(const std::string& screenName);
  // The controller of the screen shown last, or null before the first.
  const std::shared_ptr<ui::ViewController>& current() const { return current_; }
  const std::string& currentName() const { return currentName_; }

  // Whether the view is one the host made for its screens (not the SDK's).
  bool isHostView(std::uint64_t identity) const { return hostViews_.contains(identity); }

 private:
  void registerHostMethods();
  void registerForPushes(const Data& token);

  const Scenario& scenario_;
  std::string baseUrl_;
  std::filesystem::path dataDirectory_;
  Timeline& timeline_;
  std::shared_ptr<ui::Window> window_;
  std::shared_ptr<Mirror> mirror_;
  std::unique_ptr<Tavrino> client_;
  std::shared_ptr<ui::ViewController> current_;
  std::string currentName_;
  std::set<std::uint64_t> hostViews_;
  // The registry and the step callback are process-wide and outlive the
  // host: what they call checks that the host is still there.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace tavrino::sim
