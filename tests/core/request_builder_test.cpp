#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "core/request_test.hpp"
#include "core/shared_configuration.hpp"
#include "tavrino/client.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

class RequestBuilderTest : public testing::RequestTest {
 protected:
  void SetUp() override {
    RequestTest::SetUp();
    Tavrino client("//host.example/x", "42", "0");
    Util::setCookieToQIVDefaults("qivrandom", "7");
  }
  const std::string base = "https://host.example/x/";
  const std::string query = kSystemQuery;
};

TEST_F(RequestBuilderTest, BuildsTheExactUrlOfEveryRequestType) {
  EXPECT_EQ(Util::createRequest("standart", {}), base + "d?" + query);
  EXPECT_EQ(Util::createRequest("track", {{"a", "x y"}}), base + "t?&a=x%20y" + query);
  EXPECT_EQ(Util::createRequest("push", {}), base + "u?&token=1&publickey=1" + query);
  Util::setCookieToQIVDefaults("qiv_token", "0aff");
  EXPECT_EQ(Util::createRequest("push", {}),
            base + "u?&token=1&publickey=1&endpoint=0aff&qivsubstype=3" + query);
  EXPECT_EQ(Util::createRequest("message", {}), base + "pn/gm.php?" + query);
  EXPECT_EQ(Util::createRequest("pushpreview", {}),
            base + "platform/sendnot.php?&qivsubstype=3" + query);
  EXPECT_EQ(Util::createRequest("inboxlist", {}), base + "appinboxcat?" + query);
  EXPECT_EQ(Util::createRequest("settings", {}), base + "cmpdata?" + query);
  EXPECT_EQ(Util::createRequest("unknown", {}), base + query);
  // The log upload carries its own parameters only.
  EXPECT_EQ(Util::createRequest("log", {{"m", "a b"}, {"_x", "1"}}), base + "jsonlog?&m=a%20b");
}

TEST_F(RequestBuilderTest, CompletesTheBaseUrlAndNeverSendsControlCharactersOrBlanksRaw) {
  const std::pair<const char*, const char*> cases[] = {
      {"https://host.example/", "https://host.example/jsonlog?"},
      {"", "/jsonlog?"},
      {"//h.example/a b\r\nX-Injected: 1\t\x01\u00e9%41#",
       "https://h.example/a%20b%0D%0AX-Injected:%201%09%01%C3%A9%41#/jsonlog?"},
      {"//h.example/\"<>\\^`{|}", "https://h.example/%22%3C%3E%5C%5E%60%7B%7C%7D/jsonlog?"}};
  for (const auto& [base, url] : cases) {
    Util::setCookieToQIVDefaults("_cburl", base);
    EXPECT_EQ(Util::createRequest("log", {}), url) << base;
  }
}

TEST_F(RequestBuilderTest, TestAndForceModesOnlyForTheMatchingCompanyCountersOnlyWhenStored) {
  storeAll("qivtest=1;memberid=m7;qivforce=f;companyid=41");
  EXPECT_EQ(system("qivtest cuid qivforce"), "!qivtest !cuid !qivforce");
  set("companyid", "42");
  EXPECT_EQ(system("qivtest cuid qivforce"), "qivtest=1 cuid=m7 qivforce=f");
  set("qivtest", "");  // no test mode: no member id either
  EXPECT_EQ(system("qivtest cuid qivforce"), "!qivtest !cuid qivforce=f");
  // Visit counters only when stored.
  storeAll("vc=3;pvc=");
  EXPECT_EQ(system("vc pvc ftu"), "vc=3 !pvc !ftu");
}

TEST_F(RequestBuilderTest, RandomBucketIsDrawnOnceAndKept) {
  Util::removeCookieFromQIVDefaults("qivrandom");
  const std::string bucket = Util::createLocalVariable().at("qivrandom");
  std::int64_t value = 0;
  ASSERT_TRUE(parseInteger(bucket, &value));
  EXPECT_TRUE(value >= 1 && value <= 100);
  restartPlatform();
  EXPECT_EQ(Util::createLocalVariable().at("qivrandom"), bucket);

  // Concurrent first requests agree on one bucket.
  Util::removeCookieFromQIVDefaults("qivrandom");
  std::vector<std::string> seen(4);
  std::vector<std::thread> threads;
  for (auto& value : seen) {
    threads.emplace_back([&value] { value = Util::createLocalVariable().at("qivrandom"); });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(std::count(seen.begin(), seen.end(), Util::readDefault("qivrandom")), 4);
}

TEST_F(RequestBuilderTest, DeviceFactsFollowThePlatform) {
  systemInfo().setInterfaceIdiom(platform::InterfaceIdiom::pad);
  systemInfo().setScreenNativeBounds({1668.9, 2388.2});
  systemInfo().setLanguageCode(std::nullopt);
  systemInfo().setBundleInfo("CFBundleShortVersionString", std::nullopt);
  EXPECT_EQ(system("plt br swh bl appver"),
            "plt=TabletApp br=iOSTabletApp swh=1668x2388 bl= appver=");
  systemInfo().setInterfaceIdiom(platform::InterfaceIdiom::other);
  systemInfo().setScreenNativeBounds({-1, std::numeric_limits<double>::infinity()});
  EXPECT_EQ(system("plt br bwh"), "plt= br=iOS bwh=0x0");
}

TEST_F(RequestBuilderTest, PushStateNeedsRegistrationAndAPresentationType) {
  EXPECT_EQ(Util::createLocalVariable().at("qivpnst"), "2");
  EXPECT_EQ(processState().steps().back(), "is push enabled false");
  application().setNotificationSettings(
      {.authorizationStatus = platform::AuthorizationStatus::authorized, .soundAllowed = true});
  EXPECT_FALSE(Util::isPushEnabled());  // not registered yet
  application().setRegisteredForRemoteNotifications(true);
  EXPECT_EQ(Util::createLocalVariable().at("qivpnst"), "1");
  EXPECT_EQ(processState().steps().back(), "is push enabled true");
  application().setNotificationSettings(
      {.authorizationStatus = platform::AuthorizationStatus::denied});
  EXPECT_FALSE(Util::isPushEnabled());
}

}  // namespace
}  // namespace tavrino
