#pragma once

// The reference platform's Application. There is no push service on Linux:
// the state is what the host (or a test) sets, and it starts as a fresh
// installation's: not registered, nothing decided about notifications.
//
// Thread-safety: every method, the setters included, may be called from any
// thread.

#include <mutex>

#include "tavrino/export.hpp"
#include "tavrino/platform/application.hpp"

namespace tavrino::platform {

class TAVRINO_EXPORT LinuxApplication final : public Application {
 public:
  bool isRegisteredForRemoteNotifications() override;
  NotificationSettings notificationSettings() override;

  void setRegisteredForRemoteNotifications(bool registered);
  void setNotificationSettings(const NotificationSettings& settings);

 private:
  std::mutex mu_;
  bool registered_ = false;
  NotificationSettings settings_;
};

}  // namespace tavrino::platform
