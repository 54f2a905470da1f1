#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "core/keyed_archive.hpp"
#include "inbox/inbox_test.hpp"

namespace tavrino {
namespace {

using testing::kGroup;
using testing::kTestEpoch;

class InboxStoreTest : public testing::InboxTest {};

// Only a new id takes room: re-stores, mark-reads and maps without an id never
// cost "m7" its place in a full inbox; the twenty-first new message does.
TEST_F(InboxStoreTest, OnlyANewMessageEvictsTheOneThatExpiresFirst) {
  for (int i = 0; i < 20; ++i) {
    ASSERT_FALSE(inbox.setMessage(message("m" + std::to_string(i), i == 7 ? 10 : 1000 + i)));
  }
  int calls = 0;
  inbox.message_callback = [&](const QivInbox::Counts&) { ++calls; };
  Value changed = message("m3", 1003);
  changed["qivibxcap"] = "changed";
  EXPECT_FALSE(inbox.setMessage(changed));
  EXPECT_EQ(inbox.getMessage("m3").title, "changed");
  inbox.markReadMessageByIdlist({"m4", "m5"});
  inbox.markReadMessagesByCategory("");
  EXPECT_EQ(calls, 1 + 2 + 20);

  calls = 0;
  EXPECT_FALSE(inbox.setMessage(Value{{"qivibxcap", "no id"}}));
  EXPECT_FALSE(inbox.setMessage(Value{{"zbid", " "}}));
  inbox.markReadMessage("absent");
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(hasStep("markReadMessage called id : absent"));
  EXPECT_EQ(inbox.getCounts(), (QivInbox::Counts{{"1", 20}}));
  EXPECT_EQ(inbox.getMessage("m7").timeoutDate, std::to_string(kTestEpoch + 10));

  enableDebugLog();
  EXPECT_TRUE(inbox.setMessage(message("new", 5000)));
  EXPECT_EQ(inbox.getMessageCount(), 20);
  EXPECT_FALSE(inbox.hasMessage("m7"));
  EXPECT_TRUE(log().contains("tavrino_log : deleteMessage called. id : m7"));
  EXPECT_TRUE(log().contains("tavrino_log : getAppInboxHistorySize called. size : 20"));
}

TEST_F(InboxStoreTest, LimitSettingsFallBackAndALoweredOneShrinksAtTheNextNewMessage) {
  for (const char* bad : {"0", "abc", "-3", "2.5"}) {
    Util::setCookieToQIVDefaults("_inbox_history_size", bad);
    Util::setCookieToQIVDefaults("_inbox_default_timeout", bad);
    EXPECT_EQ(inbox.getAppInboxHistorySize(), 20) << bad;
    EXPECT_EQ(inbox.getDefaultTimeout(), 10080) << bad;
  }
  Util::setCookieToQIVDefaults("_inbox_history_size", "30");
  EXPECT_EQ(inbox.getAppInboxHistorySize(), 30);
  for (int i = 0; i < 30; ++i) inbox.setMessage(message("m" + std::to_string(i), 100 + i));
  Util::setCookieToQIVDefaults("_inbox_history_size", "20");
  EXPECT_TRUE(inbox.setMessage(message("late", 10)));
  EXPECT_EQ(inbox.getMessageCount(), 20);
  EXPECT_FALSE(inbox.hasMessage("m10"));
  EXPECT_TRUE(inbox.hasMessage("m11"));
  EXPECT_TRUE(inbox.hasMessage("late"));  // stored whatever its expiry
}

TEST_F(InboxStoreTest, CallbackGetsTheCountsAfterEachStoreOnly) {
  enableDebugLog();
  inbox.setMessage(message("old", -10));
  EXPECT_TRUE(log().contains("tavrino_log : message callback null"));
  std::vector<QivInbox::Counts> seen;
  inbox.checkCallback([&](const QivInbox::Counts& counts) { seen.push_back(counts); });
  EXPECT_TRUE(seen.empty());
  EXPECT_FALSE(inbox.hasMessage("old"));  // swept first
  inbox.setMessage(message("b", 3600, "", "1"));
  inbox.setMessage(message("c"));
  EXPECT_EQ(seen, (std::vector<QivInbox::Counts>{{{"1", 1}}, {{"1", 1}, {"2", 1}}}));
}

TEST_F(InboxStoreTest, CallbackRunsAfterTheStoreHasCommitted) {
  // Another thread writes the inbox from inside the callback: it could not
  // finish while the store still held the suite.
  bool finished = false;
  inbox.message_callback = [&](const QivInbox::Counts&) {
    auto other = std::async(std::launch::async, [] { QivInbox().deleteMessage("a"); });
    finished = other.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  };
  inbox.setMessage(message("a"));
  EXPECT_TRUE(finished);
  EXPECT_FALSE(inbox.hasMessage("a"));
}

TEST_F(InboxStoreTest, EntryIsTheArchivedTwelveKeyMapAndSurvivesARestart) {
  inbox.setMessage(Value{{"zbid", 42}, {"qivibxttl", 5}, {"qivibxcap", "hi"}});
  restartPlatform();
  const auto stored = platform::current().userDefaults().suite(kGroup)->object("qiv_inbox_42");
  ASSERT_TRUE(stored && stored->is_binary());
  const auto map = unarchiveDictionary(stored->get_binary());
  ASSERT_TRUE(map);
  EXPECT_EQ(map->size(), 12u);
  EXPECT_EQ((*map)["qivibxttl"], "5");
  EXPECT_EQ(QivInbox().getMessage("42").title, "hi");
}

}  // namespace
}  // namespace tavrino
