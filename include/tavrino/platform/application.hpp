#pragma once

// Application: the host application object as the platform sees it: its key
// window, opening URLs, its state, its alternate icon, and its state towards
// remote notifications (registered with the push service, what the user
// allowed it to present).
//
// Thread-safety: every method may be called from any thread. The state may
// change at any time (the user changes the settings, registration finishes);
// each call returns the state of one moment.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tavrino/export.hpp"

namespace tavrino::ui {
class Window;
}

namespace tavrino::platform {

enum class ApplicationState { active, inactive, background };

// Whether the user allowed the application to post notifications.
enum class AuthorizationStatus { notDetermined, denied, authorized, provisional, ephemeral };

// The user's current notification settings for the application.
struct NotificationSettings {
  AuthorizationStatus authorizationStatus = AuthorizationStatus::notDetermined;
  // Whether notifications may show an alert, set the badge, play a sound.
  bool alertAllowed = false;
  bool badgeAllowed = false;
  bool soundAllowed = false;

  // Returns true iff at least one presentation type is allowed.
  bool allowsAnyPresentation() const { return alertAllowed || badgeAllowed || soundAllowed; }

  bool operator==(const NotificationSettings&) const = default;
};

class TAVRINO_EXPORT Application {
 public:
  virtual ~Application();

  // Returns true iff the application is registered with the push service
  // (it has, or is about to get, a device token).
  virtual bool isRegisteredForRemoteNotifications() = 0;

  // Returns the current notification settings.
  virtual NotificationSettings notificationSettings() = 0;

  // The window that receives the user's input, or null before the host
  // showed one. The SDK lays banners over it.
  virtual std::shared_ptr<ui::Window> keyWindow() = 0;

  // Asks the system to open url outside the application (a browser, another
  // app). Returns at once.
  virtual void openURL(std::string_view url) = 0;

  virtual ApplicationState applicationState() = 0;

  // The name of the alternate icon shown, or nothing for the primary icon.
  virtual std::optional<std::string> alternateIconName() = 0;
};

}  // namespace tavrino::platform
