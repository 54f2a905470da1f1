// Registering for push at start-up.

#include <string>

#include "core/shared_configuration.hpp"
#include "push/registration_steps.hpp"
#include "tavrino/client.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/push/notification_delegate.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace push {

bool installNotificationDelegate() {
  auto& platform = platform::current();
  if (!platform.systemInfo().isOperatingSystemAtLeast(10)) return false;
  platform.userNotificationCenter().setDelegate(QivNotificationDelegate::shared());
  return true;
}

bool companySettingsMissing() {
  const std::string fetched = Util::getCookieToQIVDefaults("_company_settings", "0");
  return fetched.empty() || fetched == "0";
}

}  // namespace push
namespace {

// Steps 2 to 4 of registration: the provisional choice, then permission or,
// when push is already allowed, the registration itself.
void registerWithPushService() {
  const std::string provisional = Util::readDefault("iosproappr") == "1" ? "1" : "0";
  Util::setCookieToQIVDefaults("appqiv_provisional", provisional);
  auto& dispatch = platform::current().dispatch();
  if (!Util::isPushEnabled()) {
    dispatch.mainAsync([provisional] { push::requestPermission(provisional); });
    return;
  }
  if (Util::readDefault("_enable_push") != "1") Util::setCookieToQIVDefaults("_enable_push", "1");
  recordStep("register remote notifications in register");
  dispatch.mainAsync([] {
    platform::current().application().registerForRemoteNotifications();
    recordStep("register method async ended");
  });
}

}  // namespace

void Tavrino::register_() {
  push::installNotificationDelegate();
  registerWithPushService();
}

void Tavrino::register_(platform::Application&, const Value&) {
  recordStep("register method called");
  if (push::installNotificationDelegate()) recordStep("unnotification center delegate set.");
  if (_enable_company_settings == "1" && push::companySettingsMissing()) {
    // Resumed by the company-settings fetch once its answer is stored.
    Util::setCookieToQIVDefaults("_enable_settings", "1");
    return;
  }
  registerWithPushService();
  recordStep("register method ended");
}

}  // namespace tavrino
