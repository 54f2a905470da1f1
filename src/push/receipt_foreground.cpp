#include "push/receipt_foreground.hpp"

#include <optional>
#include <string>

#include "push/payload_fields.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/store.hpp"
#include "tracking/tracking_numbers.hpp"

namespace tavrino::push {
namespace {

struct Alert {
  std::string title;
  std::string body;
};

// The payload's "aps"."alert": a map gives title and body, a text the body.
// Nothing when there is no alert of either kind (a silent notification).
std::optional<Alert> readAlert(const Value& payload) {
  const Value* aps = mapEntry(payload, "aps");
  const Value* alert = aps != nullptr ? member(*aps, "alert") : nullptr;
  if (alert == nullptr) return std::nullopt;
  if (alert->is_string()) return Alert{"", alert->get<std::string>()};
  if (!alert->is_object()) {
    logSkippedEntry("alert");
    return std::nullopt;
  }
  return Alert{strictTextEntry(*alert, "title").value_or(""),
               strictTextEntry(*alert, "body").value_or("")};
}

// "_push_req_to" seconds when that is a number that is not negative, else
// the default.
std::int64_t legacyDelaySeconds() {
  double seconds = 0;
  if (!parseNumber(Util::readDefault("_push_req_to"), &seconds) || !(seconds >= 0) ||
      seconds > 9.0e18) {
    return kLegacyCopyDelay;
  }
  return static_cast<std::int64_t>(seconds);
}

}  // namespace

void showInForeground(const Value& payload, platform::Application& application) {
  const auto alert = readAlert(payload);
  if (!alert) {
    QivUtil::addLog("didreceiveNotification foreground copy skipped : no alert");
    return;
  }
  auto& system = platform::current().systemInfo();
  if (system.isOperatingSystemAtLeast(10)) {
    platform::NotificationRequest request;
    request.identifier = "foreground";
    request.content.title = alert->title;
    request.content.body = alert->body;
    request.content.categoryIdentifier = "foregroundntf";
    request.content.userInfo = payload;
    request.content.sound = platform::defaultNotificationSound;
    request.trigger = platform::TimeIntervalNotificationTrigger{kForegroundCopyDelay, false};
    platform::current().userNotificationCenter().add(
        std::move(request), [](std::optional<std::string> error) {
          if (error) QivUtil::addLog("foreground notification not scheduled : " + *error);
        });
  } else if (system.isOperatingSystemAtLeast(8)) {
    platform::LocalNotification notification;
    notification.alertTitle = alert->title;
    notification.alertBody = alert->body;
    notification.fireDate = tracking::saturatingAdd(tracking::nowSeconds(), legacyDelaySeconds());
    notification.userInfo = payload;
    application.scheduleLocalNotification(notification);
  }
}

}  // namespace tavrino::push
