#include <string>
#include <vector>

#include "push/registration_test.hpp"
#include "tavrino/push/notification_delegate.hpp"
#include "tavrino/util/request.hpp"

namespace tavrino::testing {
namespace {

using Options = std::vector<platform::AuthorizationOptions>;
using platform::AuthorizationStatus;

struct ChoiceCase {
  const char* iosproappr;  // nullptr: absent
  const char* version;
  const char* provisional;
  platform::AuthorizationOptions options;
};

class ProvisionalChoiceTest : public RegistrationTest,
                              public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(ProvisionalChoiceTest, SelectsTheOptionsAsked) {
  const ChoiceCase& c = GetParam();
  if (c.iosproappr) Util::setCookieToQIVDefaults("iosproappr", c.iosproappr);
  setSystemVersion(c.version);
  Tavrino(baseUrl, "1", "0").register_();
  EXPECT_EQ(Util::readDefault("appqiv_provisional"), c.provisional);
  ASSERT_TRUE(registered());
  EXPECT_EQ(center().requestedAuthorizationOptions(), Options{c.options});
}

INSTANTIATE_TEST_SUITE_P(Registration, ProvisionalChoiceTest,
                         ::testing::Values(ChoiceCase{nullptr, "17.0", "0", 7},
                                           ChoiceCase{"1", "12.0", "1", 71},
                                           ChoiceCase{"1", "11.4", "1", 7},
                                           ChoiceCase{"yes", "17.0", "0", 7}));

TEST_F(RegistrationTest, DeniedPermissionEndsSilently) {
  center().setAuthorizationPolicy({.grant = false});
  Tavrino(baseUrl, "1", "0").register_();
  ASSERT_TRUE(waitUntil([] { return !center().requestedAuthorizationOptions().empty(); }));
  EXPECT_TRUE(staysFalse([] { return application().remoteNotificationRegistrationCount() > 0; }));
  EXPECT_FALSE(hasStep("request permission ask authorization"));
  EXPECT_FALSE(hasStep("get notification settings called"));
  EXPECT_EQ(Util::readDefault("_enable_push"), "");
}

TEST_F(RegistrationTest, SettingsStatusThatRegistersDependsOnTheVersion) {
  Tavrino client(baseUrl, "1", "0");
  application().setNotificationSettings(
      {.authorizationStatus = AuthorizationStatus::provisional, .alertAllowed = true});
  setSystemVersion("11.4");  // provisional authorization does not exist yet
  client.getNotificationSettings();
  ASSERT_TRUE(waitUntil([] { return hasStep("get notification settings called"); }));
  EXPECT_TRUE(staysFalse([] { return application().remoteNotificationRegistrationCount() > 0; }));
  EXPECT_EQ(Util::readDefault("qiv_provisional"), "");

  setSystemVersion("12.0");
  client.getNotificationSettings();
  ASSERT_TRUE(registered());
  EXPECT_EQ(Util::readDefault("qiv_provisional"), "1");

  application().setNotificationSettings({.authorizationStatus = AuthorizationStatus::denied});
  client.getNotificationSettings();
  EXPECT_TRUE(staysFalse([] { return application().remoteNotificationRegistrationCount() > 1; }));
  EXPECT_EQ(Util::readDefault("qiv_provisional"), "1");  // only a grant rewrites it
}

TEST_F(RegistrationTest, SystemsBeforeTenUseTheLegacyRegistration) {
  Tavrino client(baseUrl, "1", "0");
  setSystemVersion("9.3");
  client.requestPermission(application(), "1");
  ASSERT_TRUE(waitUntil([] { return !application().userNotificationSettingsRequests().empty(); }));
  const auto request = application().userNotificationSettingsRequests()[0];
  EXPECT_EQ(request.types, 7u);
  EXPECT_TRUE(request.categoryIdentifiers.empty());
  EXPECT_TRUE(center().requestedAuthorizationOptions().empty());

  setSystemVersion("7.1");
  client.requestPermission(application(), "0");
  EXPECT_TRUE(
      staysFalse([] { return application().userNotificationSettingsRequests().size() > 1; }));
  EXPECT_EQ(stepsAmong({"request permission called"}).size(), 2u);
}

TEST_F(RegistrationTest, DelegateIsInstalledFromVersionTenByRegisterOrAConstructionWithPushOn) {
  Tavrino(baseUrl, "1", "0");
  EXPECT_EQ(center().delegate(), nullptr);
  Util::setCookieToQIVDefaults("_enable_push", "1");
  setSystemVersion("9.0");
  Tavrino(baseUrl, "1", "0").register_();
  EXPECT_EQ(center().delegate(), nullptr);
  setSystemVersion("10.0");
  Tavrino(baseUrl, "1", "0");
  EXPECT_EQ(center().delegate(), QivNotificationDelegate::shared());

  restartPlatform();
  Util::removeCookieFromQIVDefaults("_enable_push");
  Tavrino(baseUrl, "1", "0").register_();
  EXPECT_EQ(center().delegate(), QivNotificationDelegate::shared());
}

// The launch registration waits for the company settings, and their fetch
// resumes it, asking with the provisional option the settings turned on.
TEST_F(RegistrationTest, LaunchRegistrationWaitsForTheCompanySettings) {
  service::Scenario scenario;
  scenario.settings = {{"iosproappr", "1"}};
  service.setScenario(scenario);
  Tavrino client(baseUrl, "1", "0", "1");
  client.register_(application(), Value::object());
  EXPECT_TRUE(hasStep("register method called"));
  EXPECT_TRUE(hasStep("unnotification center delegate set."));
  EXPECT_FALSE(hasStep("register method ended"));
  EXPECT_EQ(Util::readDefault("_enable_settings"), "1");
  EXPECT_EQ(Util::readDefault("appqiv_provisional"), "");

  ASSERT_TRUE(registered());
  EXPECT_EQ(center().requestedAuthorizationOptions(), Options{71});
  EXPECT_EQ(Util::readDefault("qiv_provisional"), "1");

  // With the settings fetched, the next launch registers at once.
  Tavrino next(baseUrl, "1", "0", "1");
  next.register_(application(), Value::object());
  EXPECT_TRUE(hasStep("register method ended"));
  EXPECT_TRUE(registered(2));
}

TEST_F(RegistrationTest, FailedSettingsFetchLeavesTheRegistrationDeferred) {
  service.setBehavior("/cmpdata", service::Behavior::answering(500, ""));
  Tavrino client(baseUrl, "1", "0", "1");
  client.register_(application(), Value::object());
  ASSERT_TRUE(waitUntil([&] { return !service.requests("/cmpdata").empty(); }));
  EXPECT_TRUE(staysFalse([] { return !center().requestedAuthorizationOptions().empty(); }));
  EXPECT_FALSE(hasStep("request permission called"));
}

}  // namespace
}  // namespace tavrino::testing
