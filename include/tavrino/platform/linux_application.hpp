#pragma once

// The reference platform's Application. There is no push service or window
// system here: the state is what the host (or a test) sets, and it starts as
// a fresh installation's: not registered, nothing decided about
// notifications, no key window, active. Opened URLs are recorded for the host
// to act on.
//
// Thread-safety: every method, the setters included, may be called from any
// thread.

#include <mutex>
#include <string>
#include <vector>

#include "tavrino/export.hpp"
#include "tavrino/platform/application.hpp"

namespace tavrino::platform {

class TAVRINO_EXPORT LinuxApplication final : public Application {
 public:
  bool isRegisteredForRemoteNotifications() override;
  NotificationSettings notificationSettings() override;

  std::shared_ptr<ui::Window> keyWindow() override;
  void openURL(std::string_view url) override;
  ApplicationState applicationState() override;
  std::optional<std::string> alternateIconName() override;

  void setRegisteredForRemoteNotifications(bool registered);
  void setNotificationSettings(const NotificationSettings& settings);
  void setKeyWindow(std::shared_ptr<ui::Window> window);
  void setApplicationState(ApplicationState state);
  void setAlternateIconName(std::optional<std::string> name);
  // Every URL openURL() was asked to open, oldest first.
  std::vector<std::string> openedURLs();

 private:
  std::mutex mu_;
  bool registered_ = false;
  NotificationSettings settings_;
  std::shared_ptr<ui::Window> keyWindow_;
  ApplicationState state_ = ApplicationState::active;
  std::optional<std::string> alternateIconName_;
  std::vector<std::string> openedURLs_;
};

}  // namespace tavrino::platform
