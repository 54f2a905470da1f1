#pragma once

// Application: the host application object as the platform sees it: its key
// window, opening URLs, its state, its alternate icon, and its push side:
// registering with the push service, what the user allowed it to present,
// and the notification calls of system versions before 10 (settings
// registration, local notifications).
//
// Thread-safety: every method may be called from any thread. The state may
// change at any time (the user changes the settings, registration finishes);
// each call returns the state of one moment.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tavrino/export.hpp"
#include "tavrino/value.hpp"

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

// Presentation types of the settings registration before version 10.
using UserNotificationTypes = std::uint32_t;
namespace user_notification_type {
inline constexpr UserNotificationTypes badge = 1;
inline constexpr UserNotificationTypes sound = 2;
inline constexpr UserNotificationTypes alert = 4;
}  // namespace user_notification_type

// What registerUserNotificationSettings() asks for (before version 10).
struct UserNotificationSettingsRequest {
  UserNotificationTypes types = 0;
  // Identifiers of the action categories to register with them.
  std::vector<std::string> categoryIdentifiers{};

  bool operator==(const UserNotificationSettingsRequest&) const = default;
};

// A local notification as scheduled before version 10.
struct LocalNotification {
  std::string alertTitle{};
  std::string alertBody{};
  // The time zone the fire date is read in; empty: the default time zone.
  std::string timeZone{};
  // Whole seconds since 1970.
  std::int64_t fireDate = 0;
  Value userInfo = Value::object();

  bool operator==(const LocalNotification&) const = default;
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

  // Returns true iff the application may switch its icon.
  virtual bool supportsAlternateIcons() = 0;
  // Shows the alternate icon name, or the primary one for nothing. Ignored
  // when alternate icons are not supported.
  virtual void setAlternateIconName(std::optional<std::string> name) = 0;

  // Registers with the push service. Returns at once; the platform later
  // hands the device token to the host (which passes it to
  // Tavrino::registerWithDeviceToken()).
  virtual void registerForRemoteNotifications() = 0;

  // Before version 10: registers the presentation types and categories the
  // application wants.
  virtual void registerUserNotificationSettings(const UserNotificationSettingsRequest& request) = 0;
  // Before version 10: schedules a local notification.
  virtual void scheduleLocalNotification(const LocalNotification& notification) = 0;
};

}  // namespace tavrino::platform
