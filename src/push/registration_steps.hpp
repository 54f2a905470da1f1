#pragma once

// The pieces of push registration that outlive the call that started them:
// they run from the main queue and the notification centre's callbacks, so
// they depend on no Tavrino instance (the one that started them may be gone,
// as the company-settings fetch's temporary client is).

#include <string>
#include <string_view>

#include "tavrino/platform/user_notification_center.hpp"

namespace tavrino::push {

// Makes the shared QivNotificationDelegate the centre's delegate on system
// version 10 or later. Returns true iff it did.
bool installNotificationDelegate();

// Returns true iff the store's "_company_settings" holds no fetched settings.
bool companySettingsMissing();

// Asks the user for permission (provisional "1": provisional, from version
// 12) and registers with the push service once it is granted.
void requestPermission(std::string_view provisional);

// Registers with the push service when the settings allow notifications.
void continueWithSettings(const platform::NotificationSettings& settings);

}  // namespace tavrino::push
