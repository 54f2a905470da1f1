// Counts, categories, deletes, mark-reads and expiry over one app group
// inbox, the host's utility entry points, and the categories from the service
// (the local ones when it cannot answer, a callback the host switched off).

#include <atomic>
#include <future>
#include <map>

#include "inbox/inbox_test.hpp"
#include "support/service_test.hpp"
#include "tavrino/client.hpp"
#include "tavrino/util/inbox.hpp"

namespace tavrino {
namespace {

using namespace testing;
using namespace std::chrono_literals;
using service::Behavior;
using service::Failure;
using Numbers = std::vector<std::int64_t>;

class InboxQueriesTest : public InboxTest {
 protected:
  void store(const std::vector<Value>& messages) {
    for (const auto& map : messages) inbox.setMessage(map);
  }
  // "id:status" of each message, in id order.
  std::string statuses() {
    std::map<std::string, std::string> byId;
    for (const auto& record : inbox.getAllMessages()) byId[record.id] = record.status;
    std::string all;
    for (const auto& [id, status] : byId) all += (all.empty() ? "" : " ") + id + ":" + status;
    return all;
  }
  void storeExpiringAt(const std::string& id, const std::string& timeoutDate,
                       const std::string& category = "") {
    Value map = message(id, 0, category);
    map["qivibxtimeout"] = timeoutDate;
    inbox.setMessage(map);
  }
};

TEST_F(InboxQueriesTest, CountsCategoriesAndDeletesMatchWholeIdsAndCategories) {
  store({message("1", 100, "news", "2"), message("2", 100, "news", "1"), message("3", 100, "", "2"),
         message("12", 100, "offers", ""), message("123", 100, "offers", "2")});
  EXPECT_EQ((Numbers{inbox.getMessageCount(), inbox.getUnreadMessageCount(),
                     inbox.getUnreadMessageCountByCategory("news"),
                     inbox.getUnreadMessageCountByCategory("new")}),
            (Numbers{5, 3, 1, 0}));
  EXPECT_EQ(inbox.getCounts(), (QivInbox::Counts{{"1", 1}, {"2", 3}}));  // "" counted by none
  EXPECT_EQ(inbox.getCountsByCategory("offers"), (QivInbox::Counts{{"2", 1}}));
  EXPECT_EQ(ids(inbox.getMessagesByCategory("news")), (Ids{"1", "2"}));

  // The category list is distinct, with the empty category.
  EXPECT_EQ(sorted(inbox.getCategoryList()), (Ids{"", "news", "offers"}));
  EXPECT_EQ(inbox.getCategoryCount(), 3);
  EXPECT_EQ((std::vector<bool>{inbox.deleteMessage("99"), inbox.deleteMessage("12"),
                               inbox.deleteMessage("12"), inbox.hasMessage("123")}),
            (std::vector<bool>{false, true, false, true}));
  EXPECT_EQ(inbox.getMessage("12"), QivInboxMessage{});
  inbox.deleteMessagesByCategory("new");
  EXPECT_EQ(inbox.getMessageCount(), 4);
  inbox.deleteMessagesByCategory("news");
  inbox.deleteMessagesByIdlist({"3", "nope"});
  EXPECT_EQ(ids(inbox.getAllMessages()), (Ids{"123"}));

  inbox.storeExpiredMessage();
  groupSuite()->set("other", Value("kept"));
  inbox.deleteAllMessages();
  EXPECT_EQ(inbox.getMessageCount(), 0);
  EXPECT_TRUE(inbox.isStoreExpiredMessageEnabled());
  EXPECT_EQ(groupSuite()->string("other"), "kept");
}

TEST_F(InboxQueriesTest, MarkReadByCategoryMarksExactlyThatCategoryAllMarksEveryMessage) {
  store({message("n1", 100, "news"), message("n2", 200, "news"), message("o1", 300, "offers"),
         message("e1", 400, ""), message("r1", 500, "offers", "1")});
  recordCounts();
  inbox.markReadMessagesByCategory("news");
  // One store each, counted after it.
  EXPECT_EQ(seen, (std::vector<QivInbox::Counts>{{{"1", 2}, {"2", 3}}, {{"1", 3}, {"2", 2}}}));
  inbox.markReadMessagesByCategory("");  // the messages without a category only
  seen.clear();
  inbox.markReadMessagesByCategory("new");  // no prefix match
  inbox.markReadMessagesByCategory("absent");
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(statuses(), "e1:1 n1:1 n2:1 o1:2 r1:1");

  // An entry filed under another key never overwrites a message.
  Value forged = message("n1", 900, "news");
  forged["qivibxcap"] = "forged";
  groupSuite()->set("qiv_inbox_stray", entry(forged));
  inbox.markReadAllMessages();
  // Every message re-stored, the ones already read too; the stray is none of them.
  EXPECT_EQ(seen.size(), 5u);
  EXPECT_EQ(seen.back(), (QivInbox::Counts{{"1", 5}, {"2", 1}}));
  EXPECT_EQ(inbox.getMessage("n1").title, "title n1");
  const QivInboxMessage o1 = inbox.getMessage("o1");
  EXPECT_EQ(o1.title + "|" + o1.category + "|" + o1.timeoutDate,
            "title o1|offers|" + std::to_string(kTestEpoch + 300));
  EXPECT_EQ(inbox.getMessageCount(), 6);
}

TEST_F(InboxQueriesTest, ExpiredMeansEarlierThanNowAndKeptOnesAreListedEarliestFirst) {
  storeExpiringAt("zero", "0");
  storeExpiringAt("past", std::to_string(kTestEpoch - 1));
  storeExpiringAt("now", std::to_string(kTestEpoch));
  storeExpiringAt("future", std::to_string(kTestEpoch + 1));
  enableDebugLog();
  inbox.checkMessages();
  EXPECT_EQ(sorted(ids(inbox.getAllMessages())), (Ids{"future", "now"}));
  EXPECT_TRUE(log().contains("tavrino_log : checkMessages called. delete message : zero"));
  clock().advance(std::chrono::seconds(1));
  inbox.checkMessages();
  EXPECT_EQ(ids(inbox.getAllMessages()), (Ids{"future"}));
  inbox.deleteAllMessages();

  EXPECT_FALSE(inbox.pop());  // an empty inbox deletes nothing
  storeExpiringAt("b", std::to_string(kTestEpoch - 10), "x");
  storeExpiringAt("a", std::to_string(kTestEpoch - 5));
  storeExpiringAt("neg", "-5");
  storeExpiringAt("text", "soon", "x");
  storeExpiringAt("frac", std::to_string(kTestEpoch + 100) + ".5");
  storeExpiringAt("live", std::to_string(kTestEpoch + 10), "x");
  EXPECT_TRUE(inbox.getAllExpiredMessages().empty());  // not kept: none listed
  inbox.storeExpiredMessage();
  inbox.checkMessages();
  EXPECT_EQ(inbox.getMessageCount(), 6);
  // No whole-number expiry counts as 0; listing (key) order among equals.
  EXPECT_EQ(ids(inbox.getAllExpiredMessages()), (Ids{"neg", "frac", "text", "b", "a"}));
  EXPECT_EQ(ids(inbox.getExpiredMessagesByCategory("x")), (Ids{"text", "b"}));
  EXPECT_TRUE(inbox.pop() && inbox.pop());
  EXPECT_EQ(sorted(ids(inbox.getAllMessages())), (Ids{"a", "b", "live", "text"}));
}

TEST_F(InboxQueriesTest, HostUtilitiesMarkReadWhenEnabledAndDecideWhatAProducerDoes) {
  store({message("5"), message("s"), message("u")});
  Util::markAsReadInboxMessage("5");
  EXPECT_EQ(inbox.getMessage("5").status, "2");
  Tavrino client("https://t.invalid/", "1", "0");
  client.enableAppInbox();
  client.disableAppInbox();  // not read
  EXPECT_TRUE(Util::isEnabledAppInbox());
  Util::markAsReadInboxMessage("5");
  EXPECT_EQ(inbox.getMessage("5").status, "1");

  const std::pair<const char*, std::string> decisions[] = {
      {R"({"zbid": "n"})", "none"},
      {R"({"qivibxttl": "10"})", "none"},
      {R"({"zbid": "n", "qivibxttl": "10"})", "write"},
      {R"({"zbid": "s", "qivibxttl": 10})", "none"},
      {R"({"zbid": "s", "qivibxttl": "10", "qivibxzbid": "u"})", "write"},
      {R"({"zbid": "s", "qivibxttl": "10", "qivibxzbid": "x"})", "none"}};
  for (const auto& [payload, decision] : decisions) {
    EXPECT_EQ(Util::hasInboxMessage(Value::parse(payload)), decision) << payload;
  }
  for (const char* withdrawn : {"-1", "0", "1.5", "abc"}) {
    inbox.setMessage(message("w"));
    EXPECT_EQ(Util::hasInboxMessage(Value{{"zbid", "w"}, {"qivibxttl", withdrawn}}), "delete");
    EXPECT_FALSE(inbox.hasMessage("w")) << withdrawn;
  }
  EXPECT_TRUE(inbox.hasMessage("s"));
}

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
