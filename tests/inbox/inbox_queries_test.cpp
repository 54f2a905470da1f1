// Counts, categories, deletes, mark-reads and expiry over one app group
// inbox, the host's utility entry points, and the categories from the service
// (the local ones when it cannot answer).

#include <future>

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
  void storeExpiringAt(const std::string& id, const std::string& timeoutDate) {
    Value map = message(id);
    map["qivibxtimeout"] = timeoutDate;
    inbox.setMessage(map);
  }
};

TEST_F(InboxQueriesTest, CountsCategoriesAndDeletesMatchWholeIdsAndCategories) {
  store({message("1", 100, "news", "2"), message("2", 100, "news", "1"), message("3", 100, "", "2"),
         message("12", 100, "offers", ""), message("123", 100, "offers", "2")});
  EXPECT_EQ((Numbers{inbox.getMessageCount(), inbox.getUnreadMessageCount(),
                     inbox.getUnreadMessageCountByCategory("news"),
                     inbox.getUnreadMessageCountByCategory("new"), inbox.getCategoryCount()}),
            (Numbers{5, 3, 1, 0, 3}));
  EXPECT_EQ(inbox.getCounts(), (QivInbox::Counts{{"1", 1}, {"2", 3}}));  // "" counted by none
  EXPECT_EQ(inbox.getCountsByCategory("offers"), (QivInbox::Counts{{"2", 1}}));
  EXPECT_EQ(ids(inbox.getMessagesByCategory("news")), (Ids{"1", "2"}));
  recordCounts();
  inbox.markReadMessagesByCategory("new");  // no prefix match
  inbox.markReadMessagesByCategory("offers");
  EXPECT_EQ(seen, (std::vector<QivInbox::Counts>{{{"1", 2}, {"2", 3}}, {{"1", 3}, {"2", 2}}}));

  // The category list is distinct, with the empty category.
  EXPECT_EQ(sorted(inbox.getCategoryList()), (Ids{"", "news", "offers"}));
  EXPECT_EQ((std::vector<bool>{inbox.deleteMessage("99"), inbox.deleteMessage("12"),
                               inbox.deleteMessage("12"), inbox.hasMessage("123")}),
            (std::vector<bool>{false, true, false, true}));
  EXPECT_EQ(inbox.getMessage("12"), QivInboxMessage{});
  inbox.deleteMessagesByCategory("new");
  EXPECT_EQ(inbox.getMessageCount(), 4);
  inbox.deleteMessagesByCategory("news");
  inbox.deleteMessagesByIdlist({"3", "nope"});
  EXPECT_EQ(ids(inbox.getAllMessages()), (Ids{"123"}));
  // An entry filed under another key never overwrites a message.
  groupSuite()->set("qiv_inbox_stray", entry(message("123", 900, "forged")));
  inbox.markReadAllMessages();
  EXPECT_EQ(inbox.getMessage("123").category, "offers");

  inbox.storeExpiredMessage();
  groupSuite()->set("other", Value("kept"));
  inbox.deleteAllMessages();
  EXPECT_EQ(inbox.getMessageCount(), 0);
  EXPECT_TRUE(inbox.isStoreExpiredMessageEnabled());
  EXPECT_EQ(groupSuite()->string("other"), "kept");
}

TEST_F(InboxQueriesTest, ExpiredMeansEarlierThanNow) {
  storeExpiringAt("past", std::to_string(kTestEpoch - 1));
  storeExpiringAt("now", std::to_string(kTestEpoch));
  storeExpiringAt("future", std::to_string(kTestEpoch + 1));
  inbox.checkMessages();
  EXPECT_EQ(sorted(ids(inbox.getAllMessages())), (Ids{"future", "now"}));
  clock().advance(std::chrono::seconds(1));
  inbox.checkMessages();
  EXPECT_EQ(ids(inbox.getAllMessages()), (Ids{"future"}));
  EXPECT_TRUE(inbox.pop());
  EXPECT_FALSE(inbox.pop());  // an empty inbox deletes nothing
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
}

}  // namespace
}  // namespace tavrino
