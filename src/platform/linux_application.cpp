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

void LinuxApplication::setAlternateIconName(std::optional<std::string> name) {
  std::lock_guard lock(mu_);
  alternateIconName_ = std::move(name);
}

std::vector<std::string> LinuxApplication::openedURLs() {
  std::lock_guard lock(mu_);
  return openedURLs_;
}

}  // namespace tavrino::platform
