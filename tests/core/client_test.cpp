// The client: its construction, steps and setters, and the company settings
// it fetches.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/shared_configuration.hpp"
#include "desktop_session/helper_process.hpp"
#include "support/service_test.hpp"
#include "tavrino/async_task.hpp"
#include "tavrino/client.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/settings.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

using namespace std::chrono_literals;

class ClientTest : public testing::ServiceTest {
 protected:
  void answerSettings() {
    service::Scenario scenario;
    scenario.settings = {{"iosproappr", 1}};
    service.setScenario(scenario);
  }
  std::size_t instancesCreated() {
    std::size_t n = 0;
    for (const auto& step : processState().steps()) n += step == "Create Instance";
    return n;
  }
};

// Construction calls no one back; steps keep the newest thousand.
TEST_F(ClientTest, StepsAreRecordedQuietlySettersWriteTheirStoreKeysAndCompanyIdsTheirNumber) {
  int calls = 0;
  {
    Tavrino first("//t/", "1", "0");
    first.setStepCallback([&](const std::vector<std::string>&) { ++calls; });
  }
  Tavrino client("//t/", "1", "0", "0");
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(client.getSteps(), (std::vector<std::string>{"Create Instance convenience init",
                                                         "Create Instance", "Create Instance"}));
  std::size_t lastSize = 0;
  client.setStepCallback([&](const std::vector<std::string>& steps) { lastSize = steps.size(); });
  for (int i = 0; i < 1005; ++i) recordStep("step " + std::to_string(i));
  const auto steps = client.getSteps();
  EXPECT_EQ(std::tuple(steps.size(), steps.front(), steps.back(), lastSize),
            std::tuple(kMaxSteps, "step 5", "step 1004", kMaxSteps));

  client.setApiKey("key");
  client.enableAppInbox();
  client.disableAppInbox();
  client.setAppGroupName("group.demo");
  client.setAppInboxHistorySize(50);
  client.setDefaultTimeout(60);
  EXPECT_EQ(storedAll("qiv_api_key _enable_inbox _disable_inbox qiv_inbox_groupname "
                      "_inbox_history_size _inbox_default_timeout"),
            "qiv_api_key=key _enable_inbox=1 _disable_inbox=1 qiv_inbox_groupname=group.demo "
            "_inbox_history_size=50 _inbox_default_timeout=60");

  EXPECT_FALSE(client.application(nullptr, kKeyboardExtensionPointIdentifier));
  // A company id takes the second dash piece of a non-number ("abc-9" below).
  for (const char* given : {"abc", "-5"}) {
    Tavrino other("//t.example/", given, "0");
    EXPECT_EQ(Util::readDefault("_s"), given);
  }
  EXPECT_EQ(Util::readDefault("_cburl"), "//t.example/");
}

TEST_F(ClientTest, SettingsLastADayAndAreFetchedOnlyWhenMissingOrExpired) {
  answerSettings();
  auto fetchesSettle = [&](std::size_t fetches, std::int64_t expiry) {
    return waitUntil([&] {
      return service.requests("/cmpdata").size() == fetches &&
             Util::readDefault("_company_settings") == "1 " + std::to_string(expiry);
    });
  };
  Tavrino off(baseUrl, "abc-9", "0", "0");  // settings switched off: nothing scheduled
  EXPECT_EQ(Util::readDefault("_enable_settings"), "");
  Tavrino client(baseUrl, "abc-9", "0", "1");
  EXPECT_EQ(Util::readDefault("_enable_settings"), "1");
  ASSERT_TRUE(fetchesSettle(1, testing::kTestEpoch + 86400));
  EXPECT_TRUE(waitUntil([&] { return instancesCreated() == 3; }));  // the follow-up client
  EXPECT_EQ(Util::readDefault("iosproappr"), "1");
  EXPECT_EQ(service.requests("/cmpdata")[0].queryValue("s"), "9");

  clock().advance(std::chrono::hours(23));
  Tavrino again(baseUrl, "abc-9", "0", "1");
  dispatch().runFor(100ms);
  EXPECT_EQ(service.requests("/cmpdata").size(), 1u);

  // Valid through its last second; request building then sweeps it away.
  clock().advance(std::chrono::hours(1));
  Util::createRequest("standart", {});
  EXPECT_EQ(Util::readDefault("_company_settings"),
            "1 " + std::to_string(testing::kTestEpoch + 86400));
  clock().advance(std::chrono::seconds(1));
  Util::createRequest("standart", {});
  EXPECT_EQ(Util::readDefault("_company_settings"), "");
  Tavrino second(baseUrl, "9", "0", "1");
  ASSERT_TRUE(fetchesSettle(2, testing::kTestEpoch + 86401 + 86400));
}

TEST_F(ClientTest, AnUnusableAnswerLeavesTheStoreAloneAndIsFetchedAgain) {
  for (const char* body : {"{\"settings\": 5}", "\xff\xfe garbage"}) {
    service.setBehavior("/cmpdata", service::Behavior::answering(200, body));
    const auto before = service.requests("/cmpdata").size();
    Tavrino client(baseUrl, "1", "0", "1");
    ASSERT_TRUE(waitUntil([&] { return service.requests("/cmpdata").size() == before + 1; }))
        << body;
    dispatch().runUntil([] { return false; }, 200ms);  // the answer is in and handled
    EXPECT_EQ(storedAll("_company_settings iosproappr"), "!_company_settings !iosproappr") << body;
  }
}

TEST_F(ClientTest, StoringTheAnswerNeverHoldsUpOtherTransfers) {
  answerSettings();
  Util::setCookieToQIVDefaults("_s", "9");
  Util::createRequest("settings", {});  // draws the random bucket: no write is left to do

  // The extension, say, keeps the SDK's store locked for three seconds.
  testing::HelperProcess other(TAVRINO_STORE_WRITER_PATH, {dataDirectory().string(), "qiv_default",
                                                           "hold", "other", "x", "3000"});
  ASSERT_EQ(other.readLine(std::chrono::seconds(10)), "holding");
  Util::getCompanySettings();
  ASSERT_TRUE(service.waitForRequests("/cmpdata", 1, 5s));
  std::this_thread::sleep_for(200ms);  // the answer is in; storing it waits for the lock

  std::atomic<bool> answered{false};
  AsyncTask::getDataFromUrl_2("track", baseUrl + "t", [&](auto, auto, auto) { answered = true; });
  EXPECT_TRUE(waitUntil([&] { return answered.load(); }, 1s));
  EXPECT_EQ(Util::readDefault("_company_settings"), "");  // still waiting

  EXPECT_EQ(other.wait(), 0);
  EXPECT_TRUE(waitUntil([&] { return instancesCreated() == 1; }));  // the follow-up client
  EXPECT_EQ(storedAll("_company_settings iosproappr other"),
            "_company_settings=1 " + std::to_string(testing::kTestEpoch + 86400) +
                " iosproappr=1 other=x");
}

}  // namespace
}  // namespace tavrino
