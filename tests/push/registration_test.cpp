// Asking for permission, registering with the platform and reporting the
// token, opting out and in.

#include <string>
#include <thread>
#include <vector>

#include "push/push_payload_test.hpp"
#include "tavrino/push/notification_delegate.hpp"
#include "tavrino/util/request.hpp"

namespace tavrino::testing {
namespace {

using Options = std::vector<platform::AuthorizationOptions>;
using platform::AuthorizationStatus;

const Data kToken = {0x0a, 0xff, 0x00, 0x7c};
const Data kOtherToken = {0x01, 0x02};

// With the settings' provisional choice on, the option is asked for from 12.
using Choice = std::pair<const char*, platform::AuthorizationOptions>;  // version, options
class ProvisionalChoiceTest : public RegistrationTest,
                              public ::testing::WithParamInterface<Choice> {};

TEST_P(ProvisionalChoiceTest, SelectsTheOptionsAsked) {
  Util::setCookieToQIVDefaults("iosproappr", "1");
  setSystemVersion(GetParam().first);
  Tavrino(baseUrl, "1", "0").register_();
  EXPECT_EQ(stored("appqiv_provisional"), "1");
  ASSERT_TRUE(registered());
  EXPECT_EQ(center().requestedAuthorizationOptions(), Options{GetParam().second});
}

INSTANTIATE_TEST_SUITE_P(Registration, ProvisionalChoiceTest,
                         ::testing::Values(Choice{"12.0", 71}, Choice{"11.4", 7}));

// Provisional authorization registers from 12 on; only a grant rewrites
// the stored flag.
TEST_F(RegistrationTest, SettingsStatusThatRegistersDependsOnTheVersion) {
  Tavrino client(baseUrl, "1", "0");
  application().setNotificationSettings(
      {.authorizationStatus = AuthorizationStatus::provisional, .alertAllowed = true});
  setSystemVersion("11.4");
  client.getNotificationSettings();
  ASSERT_TRUE(waitUntil([] { return hasStep("get notification settings called"); }));
  EXPECT_TRUE(staysFalse([] { return application().remoteNotificationRegistrationCount() > 0; }));
  EXPECT_EQ(stored("qiv_provisional"), "");
  setSystemVersion("12.0");
  client.getNotificationSettings();
  ASSERT_TRUE(registered());
  EXPECT_EQ(stored("qiv_provisional"), "1");
  application().setNotificationSettings({.authorizationStatus = AuthorizationStatus::denied});
  client.getNotificationSettings();
  EXPECT_TRUE(staysFalse([] { return application().remoteNotificationRegistrationCount() > 1; }));
  EXPECT_EQ(stored("qiv_provisional"), "1");
}

// Before 10 the legacy registration. The delegate is installed from 10 by
// register or a construction with push on.
TEST_F(RegistrationTest, OlderSystemsUseTheLegacyRegistrationAndNoDelegate) {
  Tavrino client(baseUrl, "1", "0");
  EXPECT_EQ(center().delegate(), nullptr);
  setSystemVersion("9.3");
  client.requestPermission(application(), "1");
  ASSERT_TRUE(waitUntil([] { return !application().userNotificationSettingsRequests().empty(); }));
  const auto request = application().userNotificationSettingsRequests()[0];
  EXPECT_TRUE(request.types == 7u && request.categoryIdentifiers.empty() &&
              center().requestedAuthorizationOptions().empty());

  Util::setCookieToQIVDefaults("_enable_push", "1");
  setSystemVersion("9.0");
  Tavrino(baseUrl, "1", "0").register_();
  EXPECT_EQ(center().delegate(), nullptr);
  setSystemVersion("10.0");
  Tavrino(baseUrl, "1", "0");
  EXPECT_EQ(center().delegate(), QivNotificationDelegate::shared());
}

// The launch registration waits for the company settings, and their fetch
// resumes it, asking with the provisional option the settings turned on.
// With the settings fetched, the next launch registers at once.
TEST_F(RegistrationTest, LaunchRegistrationWaitsForTheCompanySettings) {
  service::Scenario scenario;
  scenario.settings = {{"iosproappr", "1"}};
  service.setScenario(scenario);
  Tavrino client(baseUrl, "1", "0", "1");
  client.register_(application(), Value::object());
  EXPECT_EQ(
      stepsAmong({"register method called", "unnotification center delegate set.",
                  "register method ended"}),
      (std::vector<std::string>{"register method called", "unnotification center delegate set."}));
  EXPECT_EQ(std::pair(stored("_enable_settings"), stored("appqiv_provisional")),
            (std::pair<std::string, std::string>("1", "")));
  ASSERT_TRUE(registered());
  EXPECT_EQ(center().requestedAuthorizationOptions(), Options{71});
  EXPECT_EQ(stored("qiv_provisional"), "1");
  Tavrino(baseUrl, "1", "0", "1").register_(application(), Value::object());
  EXPECT_TRUE(hasStep("register method ended"));
  EXPECT_TRUE(registered(2));
}

// End to end: permission granted, the platform registers and hands the
// token over, which is reported once as a "push" request carrying it. A new
// token replaces the stored one but is not reported. The next start finds
// push enabled: no question, straight registration.
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
  expectQuery(service.requests("/u")[0], "endpoint=0aff007c&token=1&qivsubstype=3&s=1");
  EXPECT_TRUE(log().consoleContains("token : 0aff007c") && Util::isPushEnabled());
  EXPECT_EQ(std::tuple(stored("qiv_provisional"), stored("_token_state"), stored("_enable_push")),
            std::tuple("0", "true", "1"));

  Tavrino::registerWithDeviceToken(kOtherToken);
  EXPECT_EQ(Tavrino::getPushToken(), "0102");
  client.register_();
  EXPECT_TRUE(hasStep("register remote notifications in register"));
  ASSERT_TRUE(registered(2));
  EXPECT_TRUE(waitUntil([] { return hasStep("register method async ended"); }));
  EXPECT_EQ(center().requestedAuthorizationOptions().size(), 1u);
  EXPECT_TRUE(staysFalse([&] { return tokenRequests() > 1; }));
}

// The token waits until push is enabled or provisional: a provisional
// registration reports without the settings allowing push. Opting out and
// back in tells the service; opting in is no token report.
TEST_F(RegistrationTest, TokenWaitsUntilPushIsEnabledOrProvisionalAndOptingOutIsReported) {
  EXPECT_EQ(Tavrino::getPushToken(), "");
  Tavrino client(baseUrl, "1", "0");
  Util::setCookieToQIVDefaults("appqiv_provisional", "0");
  Tavrino::registerWithDeviceToken(kToken);
  EXPECT_EQ(std::pair(Tavrino::getPushToken(), stored("_token_state")),
            (std::pair<std::string, std::string>("0aff007c", "false")));
  EXPECT_TRUE(hasStep("push token method triggered") && !hasStep("push token request triggered"));
  Tavrino::disable_push();
  ASSERT_TRUE(tokenRequestsArrived(1));
  expectQuery(service.requests("/u")[0], "qivunregpush=1&endpoint=0aff007c");
  EXPECT_EQ(std::tuple(stored("_enable_push"), stored("_disable_push"), stored("qivunregpush")),
            std::tuple("1", "0", "1"));
  Tavrino::enable_push();
  ASSERT_TRUE(tokenRequestsArrived(2));
  EXPECT_EQ(std::tuple(service.requests("/u")[1].queryValue("qivunregpush"), stored("qivunregpush"),
                       stored("_token_state")),
            std::tuple("2", "2", "false"));

  Util::setCookieToQIVDefaults("appqiv_provisional", "1");
  Tavrino::registerWithDeviceToken(kOtherToken);
  ASSERT_TRUE(tokenRequestsArrived(3));
  EXPECT_EQ(std::pair(service.requests("/u")[2].queryValue("endpoint"), stored("_token_state")),
            std::pair(std::optional<std::string>("0102"), std::string("true")));
}

// An empty token would spend the one report on an address the service
// cannot reach; the real token that follows must still be reported, once
// when several arrive together.
TEST_F(RegistrationTest, EmptyTokenIsIgnoredAndTokensArrivingTogetherAreReportedOnce) {
  enableDebugLog();
  Tavrino client(baseUrl, "1", "0");
  application().setNotificationSettings(
      {.authorizationStatus = platform::AuthorizationStatus::authorized, .alertAllowed = true});
  application().setRegisteredForRemoteNotifications(true);
  Tavrino::registerWithDeviceToken({});
  EXPECT_TRUE(log().contains("registerWithDeviceToken called with an empty token"));
  EXPECT_FALSE(has("qiv_token") || has("_token_state"));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] { Tavrino::registerWithDeviceToken({static_cast<std::uint8_t>(t)}); });
  }
  for (auto& thread : threads) thread.join();
  ASSERT_TRUE(tokenRequestsArrived(1));
  EXPECT_TRUE(staysFalse([&] { return tokenRequests() > 1; }));
  EXPECT_EQ(stepsAmong({"push token request triggered"}).size(), 1u);
  EXPECT_EQ(service.requests("/u")[0].queryValue("endpoint").value_or("").size(), 2u);
}

}  // namespace
}  // namespace tavrino::testing
