#pragma once

// SdkTest plus the reference tracking service on a loopback port; the store's
// base URL points at it.

#include <chrono>
#include <string>

#include "service/service.hpp"
#include "support/sdk_test.hpp"

namespace tavrino::testing {

class ServiceTest : public SdkTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Pumps the main loop until pred holds, up to five seconds of real time.
  bool waitUntil(const std::function<bool()>& pred,
                 std::chrono::milliseconds timeout = std::chrono::seconds(5));

  service::Service service;
  std::string baseUrl;
};

}  // namespace tavrino::testing
