#pragma once

// A private desktop for one test: an X server (Xvfb) on a free display, a
// session bus that activates nothing, fresh home and XDG folders, and
// optionally a notification server (dunst) whose arrivals are recorded and
// whose actions can be invoked. Every daemon is a child of the test, ended by
// its own process id. The environment (DISPLAY, DBUS_SESSION_BUS_ADDRESS,
// HOME, XDG_*) is set for the test process, so the children it starts inherit
// it, and restored when the session ends.

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "desktop_session/helper_process.hpp"
#include "desktop_session/temp_dir.hpp"

namespace tavrino::testing {

// What the notification server was given for one notification.
struct ArrivedNotification {
  std::string id;
  std::string summary;
  std::string body;
  std::string iconPath;
  bool operator==(const ArrivedNotification&) const = default;
};

class DesktopSession {
 public:
  // Throws when a daemon cannot be started.
  explicit DesktopSession(bool withNotificationServer = false);
  ~DesktopSession();
  DesktopSession(const DesktopSession&) = delete;
  DesktopSession& operator=(const DesktopSession&) = delete;

  const std::filesystem::path& root() const { return dir_.path(); }
  std::filesystem::path dataHome() const { return root() / "data"; }
  std::filesystem::path configHome() const { return root() / "config"; }
  const std::string& display() const { return display_; }
  const std::string& busAddress() const { return busAddress_; }
  bool hasNotificationServer() const { return notificationServer_ != nullptr; }

  // Arrivals at the notification server, in order; waits up to timeout for
  // at least count of them.
  std::vector<ArrivedNotification> arrived(
      std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
  // Opens the server's action menu and picks the first offered line that
  // contains choice (lines look like "#Label (Summary) [ID,ACTION]"). Returns
  // every line offered, empty when the menu could not be opened.
  std::vector<std::string> invokeAction(const std::string& choice);
  // Closes the newest displayed notification as its user would.
  bool closeNotification();

 private:
  void end();
  void setEnvironment(const char* name, const std::string& value);
  void startNotificationServer();
  bool dunstctl(const std::vector<std::string>& args);

  TempDir dir_;
  std::vector<std::pair<std::string, std::optional<std::string>>> savedEnvironment_;
  std::string display_;
  std::string busAddress_;
  std::unique_ptr<HelperProcess> xServer_;
  std::unique_ptr<HelperProcess> bus_;
  std::unique_ptr<HelperProcess> notificationServer_;
};

}  // namespace tavrino::testing
