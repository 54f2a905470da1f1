#include "support/service_test.hpp"

#include "tavrino/util/store.hpp"

namespace tavrino::testing {

void ServiceTest::SetUp() {
  SdkTest::SetUp();
  baseUrl = service.start();
  ASSERT_FALSE(baseUrl.empty());
  Util::setCookieToQIVDefaults("_cburl", baseUrl);
}

void ServiceTest::TearDown() {
  // The platform goes first: its queued work may still talk to the service.
  SdkTest::TearDown();
  service.stop();
}

bool ServiceTest::waitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
  return dispatch().runUntil(pred, timeout);
}

}  // namespace tavrino::testing
