// Page views end to end against the reference service: the request, the
// answer's campaigns and their reports, events waiting for the answer and a
// slow service.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "campaign/engine_test.hpp"
#include "service/scenario.hpp"
#include "tavrino/platform/linux_application.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

using namespace std::chrono_literals;

class EngineE2ETest : public testing::EngineTest {};

TEST_F(EngineE2ETest, PageViewRequestCarriesThePageAndTheVisitor) {
  auto product = std::make_shared<ui::ViewController>("ÜrünDetay");
  client->execute(product, {{"a", "view"}, {"cuid", "m-1"}, {"_vto", "10"}, {"x", "1 2"}});
  // The class name is sanitised; a name the host gives is kept.
  const auto request = testing::awaitRequestWith(dispatch(), service, "/d", "p", "UrunDetay");
  testing::expectQuery(request, "a=view&ls=|&ps=/&s=1234&cuid=m-1&x=1 2&vc=1&pvc=1");
  EXPECT_EQ(request.queryValue("uids")->rfind(Util::readDefault("uid") + "|", 0), 0u);
  EXPECT_FALSE(request.queryValue("_vto").has_value());
  client->execute(product, {{"p", "Ürün"}});
  testing::awaitRequestWith(dispatch(), service, "/d", "p", "Ürün");
}

TEST_F(EngineE2ETest, OnlyTheLastPageViewOfARunLoopTurnIsFetched) {
  client->execute(view, {{"p", "First"}});
  client->execute(view, {{"p", "Second"}});
  ASSERT_TRUE(waitUntil([&] { return !service.requests("/d").empty(); }));
  waitUntil([] { return false; }, 200ms);
  const auto requests = service.requests("/d");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].queryValue("p"), "Second");
  EXPECT_FALSE(log().contains("executeParameters execcount did not match"))
      << "the first hand-off never ran";
}

TEST_F(EngineE2ETest, PushStateIsResentAtTheStartOfAVisitAndForANewMember) {
  auto& application = dynamic_cast<platform::LinuxApplication&>(platform::current().application());
  application.setRegisteredForRemoteNotifications(true);
  application.setNotificationSettings(
      {.authorizationStatus = platform::AuthorizationStatus::authorized, .alertAllowed = true});
  Util::setCookieToQIVDefaults("_enable_push", "1");
  Util::setCookieToQIVDefaults("qiv_token", "tok-1");
  const auto visit = [&](const std::string& cuid) {
    StringMap page{{"p", "Home"}, {"_enable_push", "1"}};
    if (!cuid.empty()) page["cuid"] = cuid;
    return pageView(page);
  };
  ASSERT_TRUE(visit(""));
  ASSERT_TRUE(waitUntil([&] { return service.requests("/u").size() == 1; }));
  EXPECT_EQ(service.requests("/u")[0].queryValue("endpoint"), "tok-1");

  for (const char* cuid : {"", "m-1", "m-1"}) ASSERT_TRUE(visit(cuid));
  ASSERT_TRUE(waitUntil([&] { return service.requests("/u").size() == 2; }));
  waitUntil([] { return false; }, 200ms);
  EXPECT_EQ(service.requests("/u").size(), 2u) << "same visit, same member: no re-send";

  Util::setCookieToQIVDefaults("qiv_token", "");
  clock().advance(31min);
  ASSERT_TRUE(visit(""));
  EXPECT_EQ(Util::readDefault("_token_state"), "false");
  EXPECT_TRUE(log().contains("token not set yet."));
}

TEST_F(EngineE2ETest, EventsReportedBeforeTheAnswerRunAfterIt) {
  answerWith(R"([
    {"function": "ui_sb", "params": {"uvp": "p", "zbid": "20", "shEvn": "CUSTOMEVENT",
                                      "evn": "qivo.custom.cart.add"}}
  ])");
  client->execute(view, {{"p", "Home"}});
  client->createEvent("add", view, {{"basket", "1"}});
  EXPECT_EQ(shows(), 0u);
  Tavrino::activateListingBadge(view, {{"qivlid", "[]"}});
  EXPECT_TRUE(log().contains("d response not ready"));
  ASSERT_TRUE(waitUntil([] {
    return processState().withCampaign([](CampaignState& c) { return !c.pendingBadgeRequested; });
  }));
  EXPECT_EQ(shows(), 1u) << "the filed banner ran for the waiting event";
  EXPECT_EQ(count("activateListingBadge metot triggered"), 2u);

  // Once the answer is in, events run at once and nothing waits.
  client->createEvent("add", view, {});
  Tavrino::activateListingBadge(view, {});
  EXPECT_EQ(count("d response not ready"), 1u);
}

TEST_F(EngineE2ETest, MainLoopRunsOtherWorkWhileTheServiceIsSlow) {
  service.setBehavior("/d", service::Behavior::delayed(2000ms));
  client->execute(view, {{"p", "Home"}});
  EXPECT_TRUE(service.requests("/d").empty()) << "execute itself sends nothing";

  std::atomic<int> ranBeforeAnswer{0};
  std::thread poster([&] {
    for (int i = 0; i < 50; ++i) {
      dispatch().mainAsync([&] {
        const bool answered =
            processState().withCampaign([](CampaignState& c) { return c.responseReady; });
        if (!answered) ++ranBeforeAnswer;
      });
      std::this_thread::sleep_for(10ms);
    }
  });
  ASSERT_TRUE(waitUntil([] {
    return processState().withCampaign([](CampaignState& c) { return c.responseReady; });
  }));
  poster.join();
  dispatch().runUntilIdle();
  EXPECT_EQ(ranBeforeAnswer.load(), 50) << "the loop never waited for the answer";
}

TEST_F(EngineE2ETest, DestroyingTheClientWithAnAnswerInFlightIsSafe) {
  auto delayed = service::Behavior::answering(
      200, R"([{"function": "ui_sb", "params": {"uvp": "p", "zbid": "1"}}])");
  delayed.delay = 300ms;
  service.setBehavior("/d", delayed);
  client->execute(view, {{"p", "Home"}});
  ASSERT_TRUE(waitUntil([&] { return !service.requests("/d").empty(); }));
  client.reset();
  view.reset();
  ASSERT_TRUE(waitUntil([] {
    return processState().withCampaign([](CampaignState& c) { return c.responseReady; });
  }));
  dispatch().runUntilIdle();
  EXPECT_EQ(shows(), 0u) << "nobody is left to show it to";
}

}  // namespace
}  // namespace tavrino
