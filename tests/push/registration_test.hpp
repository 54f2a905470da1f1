#pragma once

// What the registration tests share: a client of the reference service, the
// platform's application and notification centre, and waits on the flow,
// which crosses the main loop and the centre's callback threads.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "core/shared_configuration.hpp"
#include "support/service_test.hpp"
#include "tavrino/client.hpp"
#include "tavrino/platform/platform.hpp"
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
  static bool hasStep(std::string_view step) {
    const auto steps = processState().steps();
    return std::find(steps.begin(), steps.end(), step) != steps.end();
  }
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
  // Lets the user allow everything and push count as enabled.
  static void allowPush() {
    application().setNotificationSettings(
        {.authorizationStatus = platform::AuthorizationStatus::authorized, .alertAllowed = true});
    application().setRegisteredForRemoteNotifications(true);
  }
};

}  // namespace tavrino::testing
