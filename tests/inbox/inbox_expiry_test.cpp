#include <gtest/gtest.h>

#include "inbox/inbox_test.hpp"

namespace tavrino {
namespace {

using testing::kTestEpoch;

class InboxExpiryTest : public testing::InboxTest {
 protected:
  void storeExpiringAt(const std::string& id, const std::string& timeoutDate,
                       const std::string& category = "") {
    Value map = message(id, 0, category);
    map["qivibxtimeout"] = timeoutDate;
    inbox.setMessage(map);
  }
};

TEST_F(InboxExpiryTest, ExpiredMeansEarlierThanNow) {
  storeExpiringAt("zero", "0");
  storeExpiringAt("past", std::to_string(kTestEpoch - 1));
  storeExpiringAt("now", std::to_string(kTestEpoch));
  storeExpiringAt("future", std::to_string(kTestEpoch + 1));
  enableDebugLog();
  inbox.checkMessages();
  EXPECT_EQ(sorted(ids(inbox.getAllMessages())), (std::vector<std::string>{"future", "now"}));
  EXPECT_TRUE(log().contains("tavrino_log : checkMessages called. delete message : zero"));
  clock().advance(std::chrono::seconds(1));
  inbox.checkMessages();
  EXPECT_EQ(ids(inbox.getAllMessages()), (std::vector<std::string>{"future"}));
}

TEST_F(InboxExpiryTest, KeptExpiredMessagesAreListedEarliestFirst) {
  EXPECT_FALSE(inbox.pop());  // an empty inbox deletes nothing
  EXPECT_TRUE(hasStep("QivInbox pop called."));
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
  EXPECT_EQ(ids(inbox.getAllExpiredMessages()),
            (std::vector<std::string>{"neg", "frac", "text", "b", "a"}));
  EXPECT_EQ(ids(inbox.getExpiredMessagesByCategory("x")), (std::vector<std::string>{"text", "b"}));
  EXPECT_TRUE(inbox.pop());
  EXPECT_TRUE(inbox.pop());
  EXPECT_EQ(sorted(ids(inbox.getAllMessages())),
            (std::vector<std::string>{"a", "b", "live", "text"}));
}

}  // namespace
}  // namespace tavrino
