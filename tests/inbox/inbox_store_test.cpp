// Storing into the inbox: the limit and its eviction, the count callback, the
// suite the inbox lives in, and writes that fail part way
// (nothing of them may be reported as done, nothing of them may commit).

#include <sys/resource.h>

#include <csignal>
#include <future>
#include <new>

#include "inbox/inbox_journal.hpp"
#include "inbox/inbox_operations.hpp"
#include "inbox/inbox_test.hpp"

namespace tavrino {
namespace {

using namespace testing;

// While it lives, this process may not grow any file: the disk is full as
// far as SQLite can tell (EFBIG instead of the signal that would end us).
class DiskFull {
 public:
  DiskFull() {
    getrlimit(RLIMIT_FSIZE, &saved_);
    savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit full = saved_;
    full.rlim_cur = 0;
    setrlimit(RLIMIT_FSIZE, &full);
  }
  ~DiskFull() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, savedHandler_);
  }

 private:
  rlimit saved_{};
  void (*savedHandler_)(int) = SIG_DFL;
};

class InboxStoreTest : public InboxTest {
 protected:
  // Twenty unread messages "m0".."m19" (a full inbox); "m7" expires first.
  void fill() {
    for (int i = 0; i < 20; ++i) {
      ASSERT_FALSE(inbox.setMessage(message("m" + std::to_string(i), i == 7 ? 10 : 1000 + i)));
    }
    enableDebugLog();
    recordCounts();
  }
  void expectUntouched() {
    EXPECT_EQ(inbox.getMessageCount(), 20);
    EXPECT_TRUE(inbox.hasMessage("m7"));
    EXPECT_FALSE(inbox.hasMessage("new"));
    EXPECT_EQ(inbox.getCounts(), (QivInbox::Counts{{"2", 20}}));
  }
};

// Only a new id takes room: re-stores, mark-reads and maps without an id never
// cost "m7" its place in a full inbox; the twenty-first new message does. A
// limit lowered later shrinks the inbox at the next new message.
TEST_F(InboxStoreTest, OnlyANewMessageEvictsTheOneThatExpiresFirst) {
  storeAll("_inbox_history_size=2.5;_inbox_default_timeout=-3");  // not whole, not positive
  EXPECT_EQ(std::pair(inbox.getAppInboxHistorySize(), inbox.getDefaultTimeout()),
            std::pair(20L, 10080L));
  fill();
  Value changed = message("m3", 1003);
  changed["qivibxcap"] = "changed";
  EXPECT_FALSE(inbox.setMessage(changed));
  EXPECT_EQ(inbox.getMessage("m3").title, "changed");
  inbox.markReadMessageByIdlist({"m4", "m5"});
  inbox.markReadMessagesByCategory("");
  EXPECT_EQ(seen.size(), 1u + 2 + 20);

  seen.clear();
  EXPECT_FALSE(inbox.setMessage(Value{{"qivibxcap", "no id"}}));
  EXPECT_FALSE(inbox.setMessage(Value{{"zbid", " "}}));
  inbox.markReadMessage("absent");
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(inbox.getCounts(), (QivInbox::Counts{{"1", 20}}));
  EXPECT_EQ(inbox.getMessage("m7").timeoutDate, std::to_string(kTestEpoch + 10));

  EXPECT_TRUE(inbox.setMessage(message("new", 5000)));
  EXPECT_EQ(inbox.getMessageCount(), 20);
  EXPECT_FALSE(inbox.hasMessage("m7"));

  Util::setCookieToQIVDefaults("_inbox_history_size", "18");
  EXPECT_TRUE(inbox.setMessage(message("late", 10)));  // stored whatever its expiry
  EXPECT_EQ(inbox.getMessageCount(), 18);
  EXPECT_EQ(std::tuple(inbox.hasMessage("m2"), inbox.hasMessage("m3"), inbox.hasMessage("late")),
            std::tuple(false, true, true));
}

TEST_F(InboxStoreTest, CallbackGetsTheCountsAfterEachCommittedStoreOnly) {
  inbox.setMessage(message("old", -10));
  inbox.checkCallback([&](const QivInbox::Counts& counts) { seen.push_back(counts); });
  EXPECT_TRUE(seen.empty());
  EXPECT_FALSE(inbox.hasMessage("old"));  // swept first
  inbox.setMessage(message("b", 3600, "", "1"));
  inbox.setMessage(message("c"));
  EXPECT_EQ(seen, (std::vector<QivInbox::Counts>{{{"1", 1}}, {{"1", 1}, {"2", 1}}}));

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

// A refused name falls back to the private inbox (the store tests prove that
// no suite name leaves the data directory).
TEST_F(InboxStoreTest, StoreNameIsSetOrTheAppGroupElseThePrivateInbox) {
  inbox.setMessage(message("g"));
  EXPECT_EQ(inbox.messages_store_name, kGroup);
  Util::removeCookieFromQIVDefaults("qiv_inbox_groupname");
  QivInbox noGroup;
  noGroup.setMessage(message("p"));
  EXPECT_EQ(noGroup.messages_store_name, "");
  enableDebugLog();
  QivInbox refused;
  refused.setStoreName("../escape");
  refused.setMessage(message("e"));
  EXPECT_TRUE(log().contains("tavrino_log : inbox store name refused. using : qiv_inbox_app"));
  EXPECT_TRUE(noGroup.hasMessage("e"));
  Util::setCookieToQIVDefaults("qiv_inbox_groupname", kGroup);
  EXPECT_FALSE(noGroup.hasMessage("p"));  // the group set later is picked up
  EXPECT_TRUE(noGroup.hasMessage("g"));
}

TEST_F(InboxStoreTest, StoreOnAFullDiskOrAnExceptionPartWayCommitsAndReportsNothing) {
  fill();
  const std::size_t setSteps = stepCount("inbox message set");
  {
    DiskFull full;
    // The commit fails: the store's eviction of "m7" must not count.
    EXPECT_FALSE(inbox.setMessage(message("new", 5000, "", "1")));
    EXPECT_FALSE(inbox.deleteMessage("m3"));
  }
  EXPECT_TRUE(seen.empty());  // no counts with a message that is not there
  EXPECT_EQ(stepCount("inbox message set"), setSteps);
  EXPECT_TRUE(log().contains("tavrino_log : inbox message not stored : new"));
  expectUntouched();
  restartPlatform();
  expectUntouched();

  // A store that evicted "m7" and wrote "new", then failed before its end.
  enableDebugLog();
  inbox::InboxJournal journal;
  EXPECT_FALSE(inbox::runListingTransaction(
      inbox.initStorageForQivInbox(), journal, inbox, [&](inbox::InboxListing& listing) {
        EXPECT_TRUE(inbox::storeMessage(listing, message("new"), {20, true}, journal));
        throw std::bad_alloc();
      }));
  EXPECT_TRUE(seen.empty());
  EXPECT_TRUE(log().contains("tavrino_log : inbox operation stopped : std::bad_alloc"));
  expectUntouched();

  // With room on the disk again the same store goes through.
  EXPECT_TRUE(inbox.setMessage(message("new", 5000, "", "1")));
  EXPECT_EQ(seen, (std::vector<QivInbox::Counts>{{{"1", 1}, {"2", 19}}}));
  EXPECT_FALSE(inbox.hasMessage("m7"));
}

}  // namespace
}  // namespace tavrino
