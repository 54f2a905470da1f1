#pragma once

// A UserNotificationCenter that shows notifications on the desktop through
// the notification server of the session bus (org.freedesktop.Notifications).
//
// Permission is what the server offers: a server that answers grants (sound
// when it can play one), no server or no bus denies, with a log line. Every
// request asks the server again, since there is no user to remember an
// answer. deliver() shows a notification: its title, its body (subtitle
// first), the image of its first attachment and the buttons of its
// category; a click on a button reaches the delegate's didReceive with the
// button's identifier, a click on the body with defaultActionIdentifier,
// and the user closing it, when its category asks for dismissals, with
// dismissActionIdentifier. A notification that was answered is taken off
// the screen. add() shows a request once its trigger's time has passed on
// the platform clock.
//
// The centre talks to the bus from a thread of its own with a private GLib
// main context, so it needs no main loop from the host: answers hop to the
// platform's main queue (the delegate) or a global queue (completions). The
// answers only reach the process that showed the notification: deliver from
// the application, not from a short-lived extension process.
//
// Thread-safety: every method may be called from any thread.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tavrino/export.hpp"
#include "tavrino/platform/platform.hpp"

namespace tavrino::gtk {

class DesktopNotifications;

struct DesktopNotificationOptions {
  // The sender's name the server shows.
  std::string applicationName = "Tavrino";
  // The host's desktop file name without ".desktop" (the "desktop-entry"
  // hint), when it has one.
  std::string desktopEntry{};
};

class TAVRINO_EXPORT DesktopNotificationCenter final : public platform::UserNotificationCenter {
 public:
  // platform supplies the queues, the clock and the application (whose
  // settings hold the decision when it is a LinuxApplication); it must
  // outlive the centre. Log lines go to the installed platform's log.
  static std::shared_ptr<DesktopNotificationCenter> make(platform::Platform& platform,
                                                         DesktopNotificationOptions options = {});
  ~DesktopNotificationCenter() override;

  void setDelegate(
      const std::shared_ptr<platform::UserNotificationCenterDelegate>& delegate) override;
  std::shared_ptr<platform::UserNotificationCenterDelegate> delegate() override;
  void requestAuthorization(platform::AuthorizationOptions options,
                            std::function<void(bool granted, std::optional<std::string> error)>
                                completionHandler) override;
  void getNotificationSettings(
      std::function<void(platform::NotificationSettings)> completionHandler) override;
  void setNotificationCategories(std::vector<platform::NotificationCategory> categories) override;
  void getNotificationCategories(
      std::function<void(std::vector<platform::NotificationCategory>)> completionHandler) override;
  void add(
      platform::NotificationRequest request,
      std::function<void(std::optional<std::string> error)> completionHandler = nullptr) override;

  // Shows request now (replacing a shown one of its identifier). The
  // completion gets an error description when the server did not take it.
  void deliver(platform::NotificationRequest request,
               std::function<void(std::optional<std::string> error)> completionHandler = nullptr);

  // Ends the bus thread; later calls show nothing and ask nothing.
  void stop();

 private:
  DesktopNotificationCenter() = default;

  std::unique_ptr<DesktopNotifications> impl_;
};

// Wraps platform so that its user-notification centre is a
// DesktopNotificationCenter over it, stopped when the platform shuts down.
TAVRINO_EXPORT std::unique_ptr<platform::Platform> withDesktopNotifications(
    std::unique_ptr<platform::Platform> platform, DesktopNotificationOptions options = {});

}  // namespace tavrino::gtk
