#pragma once

// The reference platform's Application. There is no push service or window
// system here: the state is what the host (or a test) sets, and it starts as
// a fresh installation's: not registered, nothing decided about
// notifications, no key window, active, alternate icons supported and the
// primary icon shown. Opened URLs, registrations and local notifications are
// recorded for the host to act on.
//
// Thread-safety: every method, the setters included, may be called from any
// thread.

#include <functional>
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
  bool supportsAlternateIcons() override;
  // Also the host's setter; ignored when alternate icons are not supported.
  void setAlternateIconName(std::optional<std::string> name) override;

  // Counts the registration and marks the application registered, then
  // calls the registration handler (outside the lock).
  void registerForRemoteNotifications() override;
  void registerUserNotificationSettings(const UserNotificationSettingsRequest& request) override;
  void scheduleLocalNotification(const LocalNotification& notification) override;

  void setRegisteredForRemoteNotifications(bool registered);
  void setNotificationSettings(const NotificationSettings& settings);
  void setKeyWindow(std::shared_ptr<ui::Window> window);
  void setApplicationState(ApplicationState state);
  void setSupportsAlternateIcons(bool supported);
  // Called after each registerForRemoteNotifications(), on its thread: where
  // a host hands over a device token. Null removes it.
  void setRemoteNotificationRegistrationHandler(std::function<void()> handler);

  // Every URL openURL() was asked to open, oldest first.
  std::vector<std::string> openedURLs();
  // How often registerForRemoteNotifications() was called.
  int remoteNotificationRegistrationCount();
  // Every settings registration and local notification, oldest first.
  std::vector<UserNotificationSettingsRequest> userNotificationSettingsRequests();
  std::vector<LocalNotification> scheduledLocalNotifications();

 private:
  std::mutex mu_;
  bool registered_ = false;
  int registrationCount_ = 0;
  std::function<void()> registrationHandler_;
  NotificationSettings settings_;
  std::shared_ptr<ui::Window> keyWindow_;
  ApplicationState state_ = ApplicationState::active;
  bool supportsAlternateIcons_ = true;
  std::optional<std::string> alternateIconName_;
  std::vector<std::string> openedURLs_;
  std::vector<UserNotificationSettingsRequest> settingsRequests_;
  std::vector<LocalNotification> localNotifications_;
};

}  // namespace tavrino::platform
