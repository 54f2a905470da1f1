#include <string>
#include <thread>
#include <vector>

#include "push/registration_test.hpp"
#include "tavrino/util/request.hpp"

namespace tavrino::testing {
namespace {

const Data kToken = {0x0a, 0xff, 0x00, 0x7c};
const Data kOtherToken = {0x01, 0x02};

// End to end: permission granted, the platform registers and hands the
// token over, which is reported once as a "push" request carrying it. The
// next start finds push enabled: no question, straight registration.
TEST_F(RegistrationTest, GrantedPermissionRegistersAndReportsTheTokenOnce) {
  application().setRemoteNotificationRegistrationHandler(
      [] { Tavrino::registerWithDeviceToken(kToken); });
  Tavrino client(baseUrl, "1", "0");
  client.register_();
  EXPECT_EQ(application().remoteNotificationRegistrationCount(), 0);  // only on the main loop
  ASSERT_TRUE(tokenRequestsArrived(1));
  const std::vector<std::string> flow = {"is push enabled false",
                                         "request permission called",
                                         "request permission ask authorization",
                                         "get notification settings called",
                                         "register remote notifications in getNotificationSettings",
                                         "push token request triggered"};
  EXPECT_EQ(stepsAmong(flow), flow);
  const auto report = service.requests("/u")[0];
  const std::pair<const char*, const char*> sent[] = {
      {"endpoint", "0aff007c"}, {"token", "1"}, {"qivsubstype", "3"}, {"s", "1"}};
  for (const auto& [key, value] : sent) EXPECT_EQ(report.queryValue(key), value) << key;
  EXPECT_TRUE(log().consoleContains("token : 0aff007c"));
  EXPECT_EQ(Util::readDefault("qiv_provisional"), "0");
  EXPECT_TRUE(Util::isPushEnabled());
  EXPECT_EQ(Util::readDefault("_token_state"), "true");
  EXPECT_EQ(Util::readDefault("_enable_push"), "1");

  // A new token replaces the stored one but is not reported.
  Tavrino::registerWithDeviceToken(kOtherToken);
  EXPECT_EQ(Tavrino::getPushToken(), "0102");

  client.register_();
  EXPECT_TRUE(hasStep("register remote notifications in register"));
  ASSERT_TRUE(registered(2));
  EXPECT_TRUE(waitUntil([] { return hasStep("register method async ended"); }));
  EXPECT_EQ(center().requestedAuthorizationOptions().size(), 1u);
  EXPECT_TRUE(staysFalse([&] { return tokenRequests() > 1; }));
}

TEST_F(RegistrationTest, TokenWaitsUntilPushIsEnabledOrProvisional) {
  EXPECT_EQ(Tavrino::getPushToken(), "");
  Tavrino client(baseUrl, "1", "0");
  Util::setCookieToQIVDefaults("appqiv_provisional", "0");
  Tavrino::registerWithDeviceToken(kToken);
  EXPECT_EQ(Tavrino::getPushToken(), "0aff007c");
  EXPECT_EQ(Util::readDefault("_token_state"), "false");
  EXPECT_TRUE(hasStep("push token method triggered"));
  EXPECT_FALSE(hasStep("push token request triggered"));

  // A provisional registration reports without the settings allowing push.
  Util::setCookieToQIVDefaults("appqiv_provisional", "1");
  Tavrino::registerWithDeviceToken(kOtherToken);
  ASSERT_TRUE(tokenRequestsArrived(1));
  EXPECT_EQ(service.requests("/u")[0].queryValue("endpoint"), "0102");
  EXPECT_EQ(Util::readDefault("_token_state"), "true");
}

// An empty token would spend the one report on an address the service
// cannot reach; the real token that follows must still be reported.
TEST_F(RegistrationTest, EmptyTokenIsIgnored) {
  enableDebugLog();
  Tavrino client(baseUrl, "1", "0");
  allowPush();
  Tavrino::registerWithDeviceToken({});
  EXPECT_TRUE(log().contains("registerWithDeviceToken called with an empty token"));
  EXPECT_FALSE(Util::qivDefaults()->object("qiv_token").has_value());
  EXPECT_FALSE(Util::qivDefaults()->object("_token_state").has_value());

  Tavrino::registerWithDeviceToken(kToken);
  ASSERT_TRUE(tokenRequestsArrived(1));
  EXPECT_EQ(service.requests("/u")[0].queryValue("endpoint"), "0aff007c");
}

TEST_F(RegistrationTest, TokensArrivingTogetherAreReportedOnce) {
  Tavrino client(baseUrl, "1", "0");
  allowPush();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] { Tavrino::registerWithDeviceToken({static_cast<std::uint8_t>(t)}); });
  }
  for (auto& thread : threads) thread.join();
  ASSERT_TRUE(tokenRequestsArrived(1));
  EXPECT_TRUE(staysFalse([&] { return tokenRequests() > 1; }));
  EXPECT_EQ(stepsAmong({"push token request triggered"}).size(), 1u);
}

// End to end: opting out and back in tells the service; push stays set up.
TEST_F(RegistrationTest, OptOutAndOptInAreReported) {
  Tavrino client(baseUrl, "1", "0");
  Tavrino::registerWithDeviceToken(kToken);  // stored, not reported: push is off
  Tavrino::disable_push();
  ASSERT_TRUE(tokenRequestsArrived(1));
  const auto optOut = service.requests("/u")[0];
  EXPECT_EQ(optOut.queryValue("qivunregpush"), "1");
  EXPECT_EQ(optOut.queryValue("endpoint"), "0aff007c");
  EXPECT_EQ(Util::readDefault("_enable_push"), "1");
  EXPECT_EQ(Util::readDefault("_disable_push"), "0");
  EXPECT_EQ(Util::readDefault("qivunregpush"), "1");

  Tavrino::enable_push();
  ASSERT_TRUE(tokenRequestsArrived(2));
  EXPECT_EQ(service.requests("/u")[1].queryValue("qivunregpush"), "2");
  EXPECT_EQ(Util::readDefault("qivunregpush"), "2");
  EXPECT_EQ(Util::readDefault("_token_state"), "false");  // opting in is no token report
}

}  // namespace
}  // namespace tavrino::testing
