// The inbox's categories from the service, the local ones when it cannot
// answer, and a callback the host switched off.

#include <atomic>
#include <future>

#include "inbox/inbox_test.hpp"
#include "support/service_test.hpp"

namespace tavrino {
namespace {

using namespace std::chrono_literals;
using service::Behavior;
using service::Failure;

class InboxCategoriesTest : public testing::ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    Util::setCookieToQIVDefaults("qiv_inbox_groupname", "group.test");
    inbox.setMessage(Value{{"zbid", "1"}, {"qivibxmt", "local"}});
  }

  // Asks for the categories and returns what the callback got.
  std::vector<std::string> fetch() {
    std::promise<std::vector<std::string>> got;
    auto future = got.get_future();
    inbox.getCategoryListwithAPI([&](const auto& categories) { got.set_value(categories); });
    if (waitUntil([&] { return future.wait_for(0s) == std::future_status::ready; })) {
      return future.get();
    }
    return {"no callback"};
  }

  QivInbox inbox;
};

TEST_F(InboxCategoriesTest, ServerListOrElseTheLocalCategories) {
  const std::vector<std::string> local = {"local"};
  EXPECT_EQ(fetch(), local);  // the empty array
  EXPECT_EQ(testing::stepCount("getCategoryListWith API called"), 1u);
  service::Scenario scenario;
  scenario.categories = {{{"NAME", "a"}}, {{"ID", 2}}, {{"NAME", "a"}}};
  service.setScenario(scenario);
  EXPECT_EQ(fetch(), (std::vector<std::string>{"a", "", "a"}));  // one entry per element
  EXPECT_EQ(service.requests("/appinboxcat").size(), 2u);
  for (Failure failure : {Failure::status500, Failure::dropConnection, Failure::garbage}) {
    service.setBehavior("/appinboxcat", Behavior::failing(failure));
    EXPECT_EQ(fetch(), local);
  }
  service.setBehavior("/appinboxcat", Behavior::answering(200, R"({"NAME": "x"})"));
  EXPECT_EQ(fetch(), local);
  // Too late for the page's request time-out.
  processState().withConfig([](SharedConfiguration& c) { c.requestTimeoutText = "1"; });
  service.setBehavior("/appinboxcat", Behavior::delayed(1500ms));
  EXPECT_EQ(fetch(), local);
  service.stop();  // nobody listening
  EXPECT_EQ(fetch(), local);
}

TEST_F(InboxCategoriesTest, SwitchedOffCallbackIsNeverCalled) {
  Util::setCookieToQIVDefaults("inboxcb", "0");
  enableDebugLog();
  std::atomic<bool> called{false};
  inbox.getCategoryListwithAPI([&](const auto&) { called = true; });
  // The completion has read the local list; a request after it completes
  // after it, on the same session thread.
  ASSERT_TRUE(waitUntil([&] { return log().contains("getCategoryList called."); }));
  std::atomic<bool> later{false};
  platform::URLRequest request;
  request.url = baseUrl + "t";
  platform::current().urlSession().dataTask(request, [&](auto, auto, auto) { later = true; });
  ASSERT_TRUE(waitUntil([&] { return later.load(); }));
  EXPECT_FALSE(called);
}

}  // namespace
}  // namespace tavrino
