#pragma once

// What the push tests share: a client of the reference service, the
// platform's application and notification centre, and waits on the flow,
// which crosses the main loop and the centre's callback threads.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "campaign/engine_test.hpp"
#include "core/shared_configuration.hpp"
#include "support/service_test.hpp"
#include "tavrino/client.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/push/notification_delegate.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::testing {

class RegistrationTest : public ServiceTest {
 protected:
  static platform::LinuxApplication& application() {
    return dynamic_cast<platform::LinuxApplication&>(platform::current().application());
  }
  static platform::LinuxUserNotificationCenter& center() {
    return dynamic_cast<platform::LinuxUserNotificationCenter&>(
        platform::current().userNotificationCenter());
  }
  static void setSystemVersion(std::string version) {
    dynamic_cast<platform::LinuxSystemInfo&>(platform::current().systemInfo())
        .setSystemVersion(std::move(version));
  }
  static bool hasStep(std::string_view step) { return !stepsAmong({std::string(step)}).empty(); }
  // The steps among wanted, in the order they were recorded.
  static std::vector<std::string> stepsAmong(const std::vector<std::string>& wanted) {
    std::vector<std::string> seen;
    for (const auto& step : processState().steps()) {
      if (std::find(wanted.begin(), wanted.end(), step) != wanted.end()) seen.push_back(step);
    }
    return seen;
  }
  bool registered(int times = 1) {
    return waitUntil([&] { return application().remoteNotificationRegistrationCount() >= times; });
  }
  // For what must not happen: pumps the loop a while and answers whether
  // pred stayed false.
  bool staysFalse(const std::function<bool()>& pred) {
    return !waitUntil(pred, std::chrono::milliseconds(300));
  }
  std::size_t tokenRequests() { return service.requests("/u").size(); }
  // Pumps the main loop until n token requests ("/u") arrived.
  bool tokenRequestsArrived(std::size_t n) {
    return waitUntil([&] { return tokenRequests() >= n; });
  }
  static std::string stored(std::string_view key) { return Util::readDefault(key); }
  static bool has(std::string_view key) { return Util::qivDefaults()->object(key).has_value(); }
};

// With a client made at the start.
class PushPayloadTest : public RegistrationTest {
 protected:
  void SetUp() override {
    RegistrationTest::SetUp();
    client_ = std::make_unique<Tavrino>(baseUrl, "1", "0");
    enableDebugLog();
  }

  Tavrino& client() { return *client_; }
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
