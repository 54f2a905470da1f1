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

}  // namespace tavrino::platform
