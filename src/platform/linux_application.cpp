#include "tavrino/platform/linux_application.hpp"

namespace tavrino::platform {

bool LinuxApplication::isRegisteredForRemoteNotifications() {
  std::lock_guard lock(mu_);
  return registered_;
}

NotificationSettings LinuxApplication::notificationSettings() {
  std::lock_guard lock(mu_);
  return settings_;
}

void LinuxApplication::setRegisteredForRemoteNotifications(bool registered) {
  std::lock_guard lock(mu_);
  registered_ = registered;
}

void LinuxApplication::setNotificationSettings(const NotificationSettings& settings) {
  std::lock_guard lock(mu_);
  settings_ = settings;
}

std::shared_ptr<ui::Window> LinuxApplication::keyWindow() {
  std::lock_guard lock(mu_);
  return keyWindow_;
}

void LinuxApplication::openURL(std::string_view url) {
  std::lock_guard lock(mu_);
  openedURLs_.emplace_back(url);
}

ApplicationState LinuxApplication::applicationState() {
  std::lock_guard lock(mu_);
  return state_;
}

std::optional<std::string> LinuxApplication::alternateIconName() {
  std::lock_guard lock(mu_);
  return alternateIconName_;
}

void LinuxApplication::setKeyWindow(std::shared_ptr<ui::Window> window) {
  std::lock_guard lock(mu_);
  keyWindow_ = std::move(window);
}

void LinuxApplication::setApplicationState(ApplicationState state) {
  std::lock_guard lock(mu_);
  state_ = state;
}

bool LinuxApplication::supportsAlternateIcons() {
  std::lock_guard lock(mu_);
  return supportsAlternateIcons_;
}

void LinuxApplication::setAlternateIconName(std::optional<std::string> name) {
  std::lock_guard lock(mu_);
  if (supportsAlternateIcons_) alternateIconName_ = std::move(name);
}

void LinuxApplication::setSupportsAlternateIcons(bool supported) {
  std::lock_guard lock(mu_);
  supportsAlternateIcons_ = supported;
}

void LinuxApplication::registerForRemoteNotifications() {
  std::function<void()> handler;
  {
    std::lock_guard lock(mu_);
    registered_ = true;
    ++registrationCount_;
    handler = registrationHandler_;
  }
  // Outside the lock: the host's handler may ask the application anything.
  if (handler) handler();
}

void LinuxApplication::setRemoteNotificationRegistrationHandler(std::function<void()> handler) {
  std::lock_guard lock(mu_);
  registrationHandler_ = std::move(handler);
}

int LinuxApplication::remoteNotificationRegistrationCount() {
  std::lock_guard lock(mu_);
  return registrationCount_;
}

void LinuxApplication::registerUserNotificationSettings(
    const UserNotificationSettingsRequest& request) {
  std::lock_guard lock(mu_);
  settingsRequests_.push_back(request);
}

std::vector<UserNotificationSettingsRequest> LinuxApplication::userNotificationSettingsRequests() {
  std::lock_guard lock(mu_);
  return settingsRequests_;
}

void LinuxApplication::scheduleLocalNotification(const LocalNotification& notification) {
  std::lock_guard lock(mu_);
  localNotifications_.push_back(notification);
}

std::vector<LocalNotification> LinuxApplication::scheduledLocalNotifications() {
  std::lock_guard lock(mu_);
  return localNotifications_;
}

std::vector<std::string> LinuxApplication::openedURLs() {
  std::lock_guard lock(mu_);
  return openedURLs_;
}

}  // namespace tavrino::platform
