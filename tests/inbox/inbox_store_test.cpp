#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "core/keyed_archive.hpp"
#include "inbox/inbox_test.hpp"

namespace tavrino {
namespace {

using testing::kGroup;
using testing::kTestEpoch;

class InboxStoreTest : public testing::InboxTest {
 protected:
  // Stores 20 messages "m0".."m19"; "m7" expires first.
  void fillToDefaultLimit() {
    for (int i = 0; i < 20; ++i) {
      ASSERT_FALSE(inbox.setMessage(message("m" + std::to_string(i), i == 7 ? 10 : 1000 + i)));
    }
  }
};

TEST_F(InboxStoreTest, TwentyFirstNewMessageEvictsTheOneThatExpiresFirst) {
  fillToDefaultLimit();
  enableDebugLog();
  EXPECT_TRUE(inbox.setMessage(message("new", 5000)));
  EXPECT_EQ(inbox.getMessageCount(), 20);
  EXPECT_FALSE(inbox.hasMessage("m7"));
  EXPECT_TRUE(inbox.hasMessage("new"));
  EXPECT_TRUE(log().contains("tavrino_log : QivInbox pop called."));
  EXPECT_TRUE(log().contains("tavrino_log : deleteMessage called. id : m7"));
  EXPECT_TRUE(log().contains("tavrino_log : getAppInboxHistorySize called. size : 20"));
  EXPECT_TRUE(hasStep("inbox message set"));
}

TEST_F(InboxStoreTest, ReStoreOfAStoredIdReplacesItAndEvictsNothing) {
  fillToDefaultLimit();
  Value changed = message("m3", 1003);
  changed["qivibxcap"] = "changed";
  EXPECT_FALSE(inbox.setMessage(changed));
  EXPECT_EQ(inbox.getMessage("m3").title, "changed");

  // Marking read re-stores too: in a full inbox it must not cost "m7" its place.
  inbox.markReadMessage("m3");
  inbox.markReadMessageByIdlist({"m4", "m5"});
  inbox.markReadAllMessages();
  EXPECT_EQ(inbox.getMessageCount(), 20);
  EXPECT_TRUE(inbox.hasMessage("m7"));
  EXPECT_EQ(inbox.getMessage("m7").status, "1");
  EXPECT_EQ(inbox.getMessage("m7").timeoutDate, std::to_string(kTestEpoch + 10));
}

TEST_F(InboxStoreTest, MapWithoutIdStoresAndEvictsNothing) {
  fillToDefaultLimit();
  int calls = 0;
  inbox.message_callback = [&](const QivInbox::Counts&) { ++calls; };
  EXPECT_FALSE(inbox.setMessage(Value{{"qivibxcap", "no id"}}));
  EXPECT_FALSE(inbox.setMessage(Value{{"zbid", " "}}));
  inbox.markReadMessage("absent");  // would store an empty record
  EXPECT_EQ(inbox.getMessageCount(), 20);
  EXPECT_TRUE(inbox.hasMessage("m7"));
  EXPECT_FALSE(inbox.hasMessage("absent"));
  EXPECT_FALSE(inbox.hasMessage("0"));
  EXPECT_EQ(calls, 0);
}

TEST_F(InboxStoreTest, LoweredLimitShrinksTheInboxAtTheNextNewMessage) {
  Util::setCookieToQIVDefaults("_inbox_history_size", "30");
  for (int i = 0; i < 30; ++i) inbox.setMessage(message("m" + std::to_string(i), 100 + i));
  Util::setCookieToQIVDefaults("_inbox_history_size", "20");
  EXPECT_TRUE(inbox.setMessage(message("late", 10)));
  EXPECT_EQ(inbox.getMessageCount(), 20);
  for (int i = 0; i < 11; ++i) EXPECT_FALSE(inbox.hasMessage("m" + std::to_string(i))) << i;
  EXPECT_TRUE(inbox.hasMessage("m11"));
  EXPECT_TRUE(inbox.hasMessage("late"));  // the new message is stored whatever its expiry
}

TEST_F(InboxStoreTest, HistorySizeFallsBackForValuesThatAreNoLimit) {
  enableDebugLog();
  for (const char* bad : {"0", "abc", "-3", "2.5", ""}) {
    Util::setCookieToQIVDefaults("_inbox_history_size", bad);
    EXPECT_EQ(inbox.getAppInboxHistorySize(), 20) << bad;
  }
  EXPECT_TRUE(log().lines().back().ends_with("getAppInboxHistorySize called. size : 20"));
  Util::setCookieToQIVDefaults("_inbox_history_size", "50");
  EXPECT_EQ(inbox.getAppInboxHistorySize(), 50);
  Util::removeCookieFromQIVDefaults("_inbox_history_size");
  inbox.max_hist_size = 3;
  EXPECT_EQ(inbox.getAppInboxHistorySize(), 3);

  Util::setCookieToQIVDefaults("_inbox_default_timeout", "0");
  EXPECT_EQ(inbox.getDefaultTimeout(), 10080);
  Util::setCookieToQIVDefaults("_inbox_default_timeout", "90");
  EXPECT_EQ(inbox.getDefaultTimeout(), 90);
}

TEST_F(InboxStoreTest, CallbackGetsTheCountsAfterEachStoreOnly) {
  enableDebugLog();
  inbox.setMessage(message("a"));
  EXPECT_TRUE(log().contains("tavrino_log : message callback null"));

  std::vector<QivInbox::Counts> seen;
  inbox.checkCallback([&](const QivInbox::Counts& counts) { seen.push_back(counts); });
  EXPECT_TRUE(seen.empty());
  inbox.setMessage(message("b", 3600, "", "1"));
  inbox.setMessage(message("c"));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], (QivInbox::Counts{{"1", 1}, {"2", 1}}));
  EXPECT_EQ(seen[1], (QivInbox::Counts{{"1", 1}, {"2", 2}}));

  seen.clear();
  inbox.markReadAllMessages();  // one re-store, one call, per message
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen.back(), (QivInbox::Counts{{"1", 3}}));
}

TEST_F(InboxStoreTest, CallbackRunsAfterTheStoreHasCommitted) {
  // Another thread writes the inbox from inside the callback; were the suite
  // still locked by the store, it could not finish.
  bool finished = false;
  inbox.message_callback = [&](const QivInbox::Counts&) {
    auto other = std::async(std::launch::async, [] {
      QivInbox second;
      second.deleteMessage("a");
    });
    finished = other.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  };
  inbox.setMessage(message("a"));
  EXPECT_TRUE(finished);
  EXPECT_FALSE(inbox.hasMessage("a"));
}

TEST_F(InboxStoreTest, MarkReadFamilySelectsByIdAndCategory) {
  inbox.setMessage(message("1", 100, "news"));
  inbox.setMessage(message("2", 100, "news"));
  inbox.setMessage(message("3", 100, "offers"));
  inbox.setMessage(message("4", 100, "news2"));
  inbox.markReadMessagesByCategory("news");
  EXPECT_EQ(inbox.getCounts(), (QivInbox::Counts{{"1", 2}, {"2", 2}}));
  EXPECT_EQ(inbox.getMessage("4").status, "2");
  inbox.markReadMessageByIdlist({"3", "missing"});
  EXPECT_EQ(inbox.getMessage("3").status, "1");
  EXPECT_TRUE(hasStep("markReadMessage called id : missing"));
  EXPECT_EQ(inbox.getMessageCount(), 4);
}

TEST_F(InboxStoreTest, EntryIsTheArchivedTwelveKeyMapAndSurvivesARestart) {
  inbox.setMessage(Value{{"zbid", 42}, {"qivibxttl", 5}, {"qivibxcap", "hi"}});
  restartPlatform();
  const auto stored = platform::current().userDefaults().suite(kGroup)->object("qiv_inbox_42");
  ASSERT_TRUE(stored && stored->is_binary());
  const auto map = unarchiveDictionary(stored->get_binary());
  ASSERT_TRUE(map);
  EXPECT_EQ(map->size(), 12u);
  EXPECT_EQ((*map)["zbid"], "42");
  EXPECT_EQ((*map)["qivibxttl"], "5");
  EXPECT_EQ((*map)["qivibxtimeout"], "0");
  QivInbox fresh;
  EXPECT_EQ(fresh.getMessage("42").title, "hi");
}

}  // namespace
}  // namespace tavrino
