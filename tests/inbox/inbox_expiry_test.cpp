#include <gtest/gtest.h>

#include "inbox/inbox_test.hpp"

namespace tavrino {
namespace {

using testing::kTestEpoch;

class InboxExpiryTest : public testing::InboxTest {
 protected:
  void storeWithTimeoutDate(const std::string& id, const std::string& timeoutDate,
                            const std::string& category = "") {
    Value map = message(id, 0, category);
    map["qivibxtimeout"] = timeoutDate;
    inbox.setMessage(map);
  }
};

TEST_F(InboxExpiryTest, ExpiredMeansEarlierThanNow) {
  Util::setCookieToQIVDefaults("_inbox_history_size", "100");
  storeWithTimeoutDate("zero", "0");
  storeWithTimeoutDate("past", std::to_string(kTestEpoch - 1));
  storeWithTimeoutDate("now", std::to_string(kTestEpoch));
  storeWithTimeoutDate("future", std::to_string(kTestEpoch + 1));
  enableDebugLog();
  inbox.checkMessages();
  EXPECT_EQ(sorted(ids(inbox.getAllMessages())), (std::vector<std::string>{"future", "now"}));
  EXPECT_TRUE(log().contains("tavrino_log : checkMessages called. delete message : zero"));

  clock().advance(std::chrono::seconds(1));
  inbox.checkMessages();
  EXPECT_EQ(ids(inbox.getAllMessages()), (std::vector<std::string>{"future"}));
}

TEST_F(InboxExpiryTest, KeptExpiredMessagesAreListedEarliestFirst) {
  storeWithTimeoutDate("b", std::to_string(kTestEpoch - 10), "x");
  storeWithTimeoutDate("a", std::to_string(kTestEpoch - 5));
  storeWithTimeoutDate("c", "0", "x");
  storeWithTimeoutDate("live", std::to_string(kTestEpoch + 10), "x");
  EXPECT_TRUE(inbox.getAllExpiredMessages().empty());  // not kept: nothing listed
  EXPECT_FALSE(inbox.isStoreExpiredMessageEnabled());

  inbox.storeExpiredMessage();
  EXPECT_TRUE(inbox.isStoreExpiredMessageEnabled());
  inbox.checkMessages();
  EXPECT_EQ(inbox.getMessageCount(), 4);
  EXPECT_EQ(ids(inbox.getAllExpiredMessages()), (std::vector<std::string>{"c", "b", "a"}));
  EXPECT_EQ(ids(inbox.getExpiredMessagesByCategory("x")), (std::vector<std::string>{"c", "b"}));
}

TEST_F(InboxExpiryTest, ExpiryThatIsNoWholeNumberCountsAsZero) {
  storeWithTimeoutDate("neg", "-5");
  storeWithTimeoutDate("text", "soon");
  storeWithTimeoutDate("frac", std::to_string(kTestEpoch + 100) + ".5");
  storeWithTimeoutDate("zero", "0");
  storeWithTimeoutDate("live", std::to_string(kTestEpoch + 100));

  inbox.storeExpiredMessage();
  // Listing (key) order among the equal zeros: frac, text, zero.
  EXPECT_EQ(ids(inbox.getAllExpiredMessages()),
            (std::vector<std::string>{"neg", "frac", "text", "zero"}));
  EXPECT_TRUE(inbox.pop());
  EXPECT_FALSE(inbox.hasMessage("neg"));
  EXPECT_TRUE(inbox.pop());
  EXPECT_FALSE(inbox.hasMessage("frac"));
}

TEST_F(InboxExpiryTest, PopOfAnEmptyInboxDeletesNothing) {
  enableDebugLog();
  EXPECT_FALSE(inbox.pop());
  EXPECT_TRUE(log().contains("tavrino_log : QivInbox pop called."));
  EXPECT_TRUE(hasStep("QivInbox pop called."));
}

TEST_F(InboxExpiryTest, CheckCallbackSweepsFirst) {
  storeWithTimeoutDate("old", "1");
  inbox.checkCallback([](const QivInbox::Counts&) {});
  EXPECT_FALSE(inbox.hasMessage("old"));
}

}  // namespace
}  // namespace tavrino
