#include <gtest/gtest.h>

#include "core/keyed_archive.hpp"
#include "inbox/inbox_test.hpp"
#include "tavrino/inbox/qiv_inbox_helper.hpp"

namespace tavrino {
namespace {

class InboxMarkReadTest : public testing::InboxTest {
 protected:
  void SetUp() override {
    InboxTest::SetUp();
    inbox.setMessage(message("n1", 100, "news"));
    inbox.setMessage(message("n2", 200, "news"));
    inbox.setMessage(message("o1", 300, "offers"));
    inbox.setMessage(message("e1", 400, ""));
    inbox.setMessage(message("r1", 500, "offers", "1"));
    inbox.message_callback = [this](const QivInbox::Counts& counts) { seen.push_back(counts); };
  }

  std::map<std::string, std::string> statuses() {
    std::map<std::string, std::string> result;
    for (const auto& record : inbox.getAllMessages()) result[record.id] = record.status;
    return result;
  }

  std::vector<QivInbox::Counts> seen;
};

TEST_F(InboxMarkReadTest, ByCategoryMarksExactlyThatCategoryAllMarksEveryMessage) {
  enableDebugLog();
  inbox.markReadMessagesByCategory("news");
  EXPECT_EQ(statuses(), (std::map<std::string, std::string>{
                            {"n1", "1"}, {"n2", "1"}, {"o1", "2"}, {"e1", "2"}, {"r1", "1"}}));
  // One store each, counted after it.
  EXPECT_EQ(seen, (std::vector<QivInbox::Counts>{{{"1", 2}, {"2", 3}}, {{"1", 3}, {"2", 2}}}));
  EXPECT_TRUE(log().contains("tavrino_log : markReadMessagesByCategory called. category : news"));

  inbox.markReadMessagesByCategory("");  // the messages without a category only
  EXPECT_EQ(statuses().at("e1"), "1");
  EXPECT_EQ(statuses().at("o1"), "2");
  seen.clear();
  inbox.markReadMessagesByCategory("new");  // no prefix match
  inbox.markReadMessagesByCategory("absent");
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(inbox.getUnreadMessageCountByCategory("offers"), 1);

  inbox.markReadAllMessages();
  EXPECT_EQ(inbox.getCounts(), (QivInbox::Counts{{"1", 5}}));
  EXPECT_EQ(seen.size(), 5u);  // every message re-stored, the ones already read too
  EXPECT_EQ(seen.back(), (QivInbox::Counts{{"1", 5}}));
  EXPECT_TRUE(log().contains("tavrino_log : markReadAllMessages called."));
  const QivInboxMessage o1 = inbox.getMessage("o1");
  EXPECT_EQ(o1.title, "title o1");
  EXPECT_EQ(o1.category, "offers");
  EXPECT_EQ(o1.timeoutDate, std::to_string(testing::kTestEpoch + 300));
  EXPECT_EQ(inbox.getMessageCount(), 5);
}

TEST_F(InboxMarkReadTest, AnEntryFiledUnderAnotherKeyNeverOverwritesAMessage) {
  Value forged = message("n1", 900, "news");
  forged["qivibxcap"] = "forged";
  groupSuite()->set(
      "qiv_inbox_stray",
      Value::binary(archiveDictionary(Value(QivInboxHelper().createMessageMap(forged)))));
  inbox.markReadAllMessages();
  EXPECT_EQ(inbox.getMessage("n1").title, "title n1");
  EXPECT_EQ(inbox.getMessage("n1").status, "1");
  EXPECT_EQ(inbox.getMessageCount(), 6);
}

}  // namespace
}  // namespace tavrino
