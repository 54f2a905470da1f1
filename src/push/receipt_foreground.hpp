#pragma once

// A notification that arrives while the application is in the foreground is
// shown again as a local notification, which the platform presents.

#include "tavrino/platform/application.hpp"
#include "tavrino/value.hpp"

namespace tavrino::push {

// Delay of the copy on system version 10 and later, in seconds.
inline constexpr double kForegroundCopyDelay = 2;
// Delay of the legacy copy when "_push_req_to" is no number, in seconds.
inline constexpr std::int64_t kLegacyCopyDelay = 5000;

// Schedules the copy of payload: request "foreground" (category
// "foregroundntf") from version 10, a local notification on versions 8 and 9.
// A payload without an alert to show schedules nothing.
void showInForeground(const Value& payload, platform::Application& application);

}  // namespace tavrino::push
