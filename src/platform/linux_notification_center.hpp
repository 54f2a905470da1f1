#pragma once

#include <functional>
#include <memory>

#include "tavrino/platform/dispatch.hpp"
#include "tavrino/platform/notification_center.hpp"

namespace tavrino::platform {

// A notification centre delivering through postToMain (the platform's main
// queue). The observer table is shared with the deliveries and observations
// in flight, so neither may outlive nor dangle after the centre.
std::unique_ptr<NotificationCenter> makeLinuxNotificationCenter(
    std::function<void(Task)> postToMain);

}  // namespace tavrino::platform
