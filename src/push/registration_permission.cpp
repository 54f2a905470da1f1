// Asking for permission to notify, and registering once it is given.

#include <string>

#include "core/shared_configuration.hpp"
#include "push/registration_steps.hpp"
#include "tavrino/client.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace push {

void requestPermission(std::string_view provisional) {
  recordStep("request permission called");
  auto& platform = platform::current();
  auto& system = platform.systemInfo();
  namespace option = platform::authorization_option;
  if (!system.isOperatingSystemAtLeast(10)) {
    if (!system.isOperatingSystemAtLeast(8)) return;
    namespace type = platform::user_notification_type;
    platform.dispatch().mainAsync([] {
      platform::current().application().registerUserNotificationSettings(
          {.types = type::badge | type::sound | type::alert, .categoryIdentifiers = {}});
    });
    return;
  }
  platform::AuthorizationOptions options = option::alert | option::sound | option::badge;
  if (system.isOperatingSystemAtLeast(12) && provisional == "1") options |= option::provisional;
  // Answers arrive on any thread and reach the platform again through
  // current(): the platform outlives every callback it runs.
  platform.userNotificationCenter().requestAuthorization(
      options, [](bool granted, const std::optional<std::string>& error) {
        if (error) QivUtil::addLog("request permission error : " + *error);
        if (!granted) return;
        recordStep("request permission ask authorization");
        platform::current().userNotificationCenter().getNotificationSettings(continueWithSettings);
      });
}

void continueWithSettings(const platform::NotificationSettings& settings) {
  using Status = platform::AuthorizationStatus;
  recordStep("get notification settings called");
  const Status status = settings.authorizationStatus;
  if (!platform::current().systemInfo().isOperatingSystemAtLeast(12)) {
    if (status != Status::authorized) return;
  } else {
    if (status != Status::authorized && status != Status::provisional) return;
    Util::setCookieToQIVDefaults("qiv_provisional", status == Status::provisional ? "1" : "0");
  }
  platform::current().dispatch().mainAsync([] {
    recordStep("register remote notifications in getNotificationSettings");
    platform::current().application().registerForRemoteNotifications();
  });
}

}  // namespace push

void Tavrino::requestPermission(platform::Application&, std::string_view provisional) {
  push::requestPermission(provisional);
}

void Tavrino::getNotificationSettings() {
  platform::current().userNotificationCenter().getNotificationSettings(push::continueWithSettings);
}

}  // namespace tavrino
