#pragma once

// UserNotificationCenter: the user-notification service: permission to post
// notifications, the user's settings, action categories, locally scheduled
// notifications, and the delegate that hears of notifications presented in
// the foreground and of the user's responses.
//
// Thread-safety: every method may be called from any thread. Completion
// handlers run on an arbitrary thread (a global queue), never inside the
// call that took them. The delegate's methods are called by the host (or a
// test) on the main loop.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tavrino/export.hpp"
#include "tavrino/platform/application.hpp"
#include "tavrino/value.hpp"

namespace tavrino::platform {

// Options of requestAuthorization(), numbered as the platform numbers them.
using AuthorizationOptions = std::uint32_t;
namespace authorization_option {
inline constexpr AuthorizationOptions badge = 1;
inline constexpr AuthorizationOptions sound = 2;
inline constexpr AuthorizationOptions alert = 4;
inline constexpr AuthorizationOptions carPlay = 8;
inline constexpr AuthorizationOptions criticalAlert = 16;
inline constexpr AuthorizationOptions providesAppNotificationSettings = 32;
inline constexpr AuthorizationOptions provisional = 64;
}  // namespace authorization_option

// How a notification arriving in the foreground is presented.
using PresentationOptions = std::uint32_t;
namespace presentation_option {
inline constexpr PresentationOptions badge = 1;
inline constexpr PresentationOptions sound = 2;
inline constexpr PresentationOptions alert = 4;
}  // namespace presentation_option

// Options of an action button.
using NotificationActionOptions = std::uint32_t;
namespace action_option {
inline constexpr NotificationActionOptions authenticationRequired = 1;
inline constexpr NotificationActionOptions destructive = 2;
inline constexpr NotificationActionOptions foreground = 4;
}  // namespace action_option

// Options of a category.
using NotificationCategoryOptions = std::uint32_t;
namespace category_option {
inline constexpr NotificationCategoryOptions customDismissAction = 1;
inline constexpr NotificationCategoryOptions allowInCarPlay = 2;
}  // namespace category_option

// The action identifier of a response to a tap on the notification itself
// (not on one of its buttons).
inline constexpr std::string_view defaultActionIdentifier =
    "com.apple.UNNotificationDefaultActionIdentifier";
// The action identifier of a response to the user dismissing it.
inline constexpr std::string_view dismissActionIdentifier =
    "com.apple.UNNotificationDismissActionIdentifier";

// A file shown with a notification (an image).
struct TAVRINO_EXPORT NotificationAttachment {
  std::string identifier{};
  // The absolute path of the file.
  std::string url{};
  Value options{};

  // Returns an attachment of the file at url (a path, or a "file://" URL);
  // nothing when it names no regular file, with *error (when given) saying
  // why.
  static std::optional<NotificationAttachment> make(std::string_view identifier,
                                                    std::string_view url,
                                                    const Value& options = Value::object(),
                                                    std::string* error = nullptr);

  bool operator==(const NotificationAttachment&) const = default;
};

// What a notification shows. A plain struct: every field may be changed
// (the notification service extension does).
struct NotificationContent {
  std::string title{};
  std::string subtitle{};
  std::string body{};
  // Empty: silent; "default": the default sound.
  std::string sound{};
  std::optional<std::int64_t> badge{};
  // The payload (a map).
  Value userInfo = Value::object();
  std::string categoryIdentifier{};
  std::vector<NotificationAttachment> attachments{};

  bool operator==(const NotificationContent&) const = default;
};

using MutableNotificationContent = NotificationContent;

inline constexpr std::string_view defaultNotificationSound = "default";

// When a scheduled notification fires: a span after it was added.
struct TimeIntervalNotificationTrigger {
  double timeInterval = 0;  // seconds
  bool repeats = false;

  bool operator==(const TimeIntervalNotificationTrigger&) const = default;
};

struct NotificationRequest {
  std::string identifier{};
  NotificationContent content{};
  // Nothing: delivered at once (a remote notification has no trigger).
  std::optional<TimeIntervalNotificationTrigger> trigger{};

  bool operator==(const NotificationRequest&) const = default;
};

// A notification that was delivered.
struct UserNotification {
  NotificationRequest request{};
  // Whole seconds since 1970.
  std::int64_t date = 0;
};

// The user's answer to a notification: a tap on it or on one of its buttons.
struct NotificationResponse {
  UserNotification notification{};
  // defaultActionIdentifier, dismissActionIdentifier or a button's identifier.
  std::string actionIdentifier{};
};

struct NotificationAction {
  std::string identifier{};
  std::string title{};
  NotificationActionOptions options = 0;

  bool operator==(const NotificationAction&) const = default;
};

struct NotificationCategory {
  std::string identifier{};
  std::vector<NotificationAction> actions{};
  std::vector<std::string> intentIdentifiers{};
  NotificationCategoryOptions options = 0;

  bool operator==(const NotificationCategory&) const = default;
};

class UserNotificationCenter;

// Hears of notifications presented while the application is in the
// foreground and of the user's responses. Each handler must call its
// completion exactly once.
class TAVRINO_EXPORT UserNotificationCenterDelegate {
 public:
  virtual ~UserNotificationCenterDelegate();

  virtual void willPresent(UserNotificationCenter& center, const UserNotification& notification,
                           std::function<void(PresentationOptions)> completionHandler) = 0;
  virtual void didReceive(UserNotificationCenter& center, const NotificationResponse& response,
                          std::function<void()> completionHandler) = 0;
};

class TAVRINO_EXPORT UserNotificationCenter {
 public:
  virtual ~UserNotificationCenter();

  // The centre holds its delegate weakly, as the platform does: whoever sets
  // it keeps it alive. Null removes it.
  virtual void setDelegate(const std::shared_ptr<UserNotificationCenterDelegate>& delegate) = 0;
  // The delegate, or null when none is set or it is gone.
  virtual std::shared_ptr<UserNotificationCenterDelegate> delegate() = 0;

  // Asks the user for permission to notify with options. The completion gets
  // whether it was granted and, on failure, an error description.
  virtual void requestAuthorization(
      AuthorizationOptions options,
      std::function<void(bool granted, std::optional<std::string> error)> completionHandler) = 0;

  virtual void getNotificationSettings(
      std::function<void(NotificationSettings)> completionHandler) = 0;

  // Replaces the registered categories (identifiers are unique: of several
  // with one identifier the last counts).
  virtual void setNotificationCategories(std::vector<NotificationCategory> categories) = 0;
  virtual void getNotificationCategories(
      std::function<void(std::vector<NotificationCategory>)> completionHandler) = 0;

  // Schedules a local notification; a request with the identifier of a
  // pending one replaces it. The completion (when given) gets an error
  // description on failure.
  virtual void add(
      NotificationRequest request,
      std::function<void(std::optional<std::string> error)> completionHandler = nullptr) = 0;
};

}  // namespace tavrino::platform
