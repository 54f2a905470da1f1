// The delegate's two calls: a notification arriving in the foreground, and
// the user's answer to one.

#include <chrono>
#include <optional>
#include <string>

#include "core/shared_configuration.hpp"
#include "push/payload_fields.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/push/notification_delegate.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/push.hpp"

namespace tavrino {
namespace {

constexpr std::chrono::milliseconds kIconSwitchDelay{1000};

// The icon "ain" names: a text (the empty text is the primary icon); any
// other kind switches nothing.
void scheduleIconSwitch(const Value& payload) {
  if (!push::hasMember(payload, "ain")) return;
  if (!platform::current().systemInfo().isOperatingSystemAtLeast(10, 3)) return;
  const auto name = push::strictTextEntry(payload, "ain");
  if (!name) return;
  std::optional<std::string> icon;
  if (!name->empty()) icon = *name;
  platform::current().dispatch().mainAsyncAfter(kIconSwitchDelay, [icon] {
    auto& application = platform::current().application();
    if (application.supportsAlternateIcons()) application.setAlternateIconName(icon);
  });
}

}  // namespace

void QivNotificationDelegate::willPresent(
    platform::UserNotificationCenter&, const platform::UserNotification&,
    std::function<void(platform::PresentationOptions)> completionHandler) {
  if (completionHandler) {
    completionHandler(platform::presentation_option::badge | platform::presentation_option::sound |
                      platform::presentation_option::alert);
  }
}

void QivNotificationDelegate::didReceive(platform::UserNotificationCenter&,
                                         const platform::NotificationResponse& response,
                                         std::function<void()> completionHandler) {
  recordStep("push clicked in delegate cb");
  const std::string& identifier = response.actionIdentifier;
  const Value& payload = response.notification.request.content.userInfo;
  // The buttons' categories ask for dismissals too; closing a notification
  // is no click and opens nothing.
  if (identifier == platform::dismissActionIdentifier) {
    QivUtil::addLog("push dismissed, no click");
  } else if (payload.is_object() && !payload.empty()) {
    const std::string action = identifier == platform::defaultActionIdentifier
                                   ? std::string(Util::kOrganicAction)
                                   : identifier;
    scheduleIconSwitch(payload);
    Util::pushClicked(payload, action);
  }
  if (completionHandler) completionHandler();
}

}  // namespace tavrino
