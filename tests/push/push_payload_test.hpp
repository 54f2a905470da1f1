#pragma once

// What the receipt, click and extension tests share: a client of the
// reference service and the platform's push side.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "core/shared_configuration.hpp"
#include "push/registration_test.hpp"
#include "tavrino/client.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/push/notification_delegate.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::testing {

class PushPayloadTest : public RegistrationTest {
 protected:
  void SetUp() override {
    RegistrationTest::SetUp();
    client_ = std::make_unique<Tavrino>(baseUrl, "1", "0");
    enableDebugLog();
  }

  Tavrino& client() { return *client_; }
  static std::string stored(std::string_view key) { return Util::readDefault(key); }
  static bool has(std::string_view key) { return Util::qivDefaults()->object(key).has_value(); }
  std::int64_t now() { return clock().epochSeconds(); }

  // The nth request under path, once it arrived.
  service::RecordedRequest awaitRequest(std::string_view path, std::size_t n = 0) {
    EXPECT_TRUE(service.waitForRequests(path, n + 1, std::chrono::seconds(5)));
    const auto requests = service.requests(path);
    return requests.size() > n ? requests[n] : service::RecordedRequest{};
  }
  // The user's tap, as the platform hands it to the SDK's delegate.
  static void tap(const Value& payload, std::string_view action) {
    platform::NotificationResponse response;
    response.notification.request.content.userInfo = payload;
    response.actionIdentifier = std::string(action);
    bool completed = false;
    QivNotificationDelegate::shared()->didReceive(center(), response, [&] { completed = true; });
    EXPECT_TRUE(completed);
  }

  std::unique_ptr<Tavrino> client_;
};

}  // namespace tavrino::testing
