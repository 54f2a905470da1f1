#pragma once

// The SDK's delegate of the user-notification centre. Construction installs
// the shared instance when push is on, and so does registration; a host
// with a delegate of its own forwards both calls to it.

#include <functional>
#include <memory>

#include "tavrino/export.hpp"
#include "tavrino/platform/user_notification_center.hpp"

namespace tavrino {

class TAVRINO_EXPORT QivNotificationDelegate : public platform::UserNotificationCenterDelegate {
 public:
  // The process-wide instance, made on first use; it lives for the process
  // (the centre holds its delegate weakly).
  static std::shared_ptr<QivNotificationDelegate> shared();

  // Shows notifications that arrive in the foreground: completes with
  // badge, sound and alert.
  void willPresent(platform::UserNotificationCenter& center,
                   const platform::UserNotification& notification,
                   std::function<void(platform::PresentationOptions)> completionHandler) override;

  // A tap on the notification or one of its buttons: switches the icon the
  // payload names ("ain"), then handles the click.
  void didReceive(platform::UserNotificationCenter& center,
                  const platform::NotificationResponse& response,
                  std::function<void()> completionHandler) override;
};

}  // namespace tavrino
