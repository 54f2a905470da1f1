// Inbox operations whose writes do not reach the disk: nothing of them may
// be reported as done, and nothing of them may commit.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <new>

#include "inbox/inbox_journal.hpp"
#include "inbox/inbox_operations.hpp"
#include "inbox/inbox_test.hpp"

namespace tavrino {
namespace {

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
  DiskFull(const DiskFull&) = delete;
  DiskFull& operator=(const DiskFull&) = delete;

 private:
  rlimit saved_{};
  void (*savedHandler_)(int) = SIG_DFL;
};

class InboxFailureTest : public testing::InboxTest {
 protected:
  void SetUp() override {
    InboxTest::SetUp();
    // Twenty unread messages "m0".."m19"; "m7" expires first.
    for (int i = 0; i < 20; ++i) inbox.setMessage(message("m" + std::to_string(i), 1000 + i));
    inbox.setMessage(message("m7", 10));
    enableDebugLog();
    inbox.message_callback = [this](const QivInbox::Counts& counts) { seen.push_back(counts); };
  }

  std::size_t stepCount(const std::string& step) {
    const auto steps = processState().steps();
    return static_cast<std::size_t>(std::count(steps.begin(), steps.end(), step));
  }

  void expectUntouched() {
    EXPECT_EQ(inbox.getMessageCount(), 20);
    EXPECT_TRUE(inbox.hasMessage("m7"));
    EXPECT_FALSE(inbox.hasMessage("new"));
    EXPECT_EQ(inbox.getCounts(), (QivInbox::Counts{{"2", 20}}));
  }

  std::vector<QivInbox::Counts> seen;
};

TEST_F(InboxFailureTest, StoreOnAFullDiskIsReportedAsNotStored) {
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

  // With room on the disk again the same store goes through.
  enableDebugLog();
  EXPECT_TRUE(inbox.setMessage(message("new", 5000, "", "1")));
  EXPECT_EQ(seen, (std::vector<QivInbox::Counts>{{{"1", 1}, {"2", 19}}}));
  EXPECT_FALSE(inbox.hasMessage("m7"));
}

TEST_F(InboxFailureTest, ExceptionPartWayRollsTheWholeOperationBack) {
  auto suite = inbox.initStorageForQivInbox();
  const inbox::StoreOptions options{20, true};
  inbox::InboxJournal journal;
  // A store that evicted "m7" and wrote "new", then failed before its end.
  const bool committed =
      inbox::runListingTransaction(suite, journal, inbox, [&](inbox::InboxListing& listing) {
        EXPECT_TRUE(inbox::storeMessage(listing, message("new"), options, journal));
        throw std::bad_alloc();
      });
  EXPECT_FALSE(committed);
  EXPECT_TRUE(seen.empty());
  EXPECT_TRUE(log().contains("tavrino_log : inbox operation stopped : std::bad_alloc"));
  expectUntouched();
}

}  // namespace
}  // namespace tavrino
