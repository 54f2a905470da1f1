#include <gtest/gtest.h>

#include "inbox/inbox_test.hpp"

namespace tavrino {
namespace {

class InboxQueriesTest : public testing::InboxTest {
 protected:
  void SetUp() override {
    InboxTest::SetUp();
    inbox.setMessage(message("1", 100, "news", "2"));
    inbox.setMessage(message("2", 100, "news", "1"));
    inbox.setMessage(message("3", 100, "", "2"));
    inbox.setMessage(message("12", 100, "offers", ""));
    inbox.setMessage(message("123", 100, "offers", "2"));
  }
};

TEST_F(InboxQueriesTest, CountsAndCategoriesGoByStatusAndExactCategory) {
  EXPECT_EQ(inbox.getMessageCount(), 5);
  EXPECT_EQ(inbox.getUnreadMessageCount(), 3);
  EXPECT_EQ(inbox.getUnreadMessageCountByCategory("news"), 1);
  EXPECT_EQ(inbox.getUnreadMessageCountByCategory("new"), 0);
  EXPECT_EQ(inbox.getCounts(), (QivInbox::Counts{{"1", 1}, {"2", 3}}));  // "" counted by none
  EXPECT_EQ(inbox.getCountsByCategory("offers"), (QivInbox::Counts{{"2", 1}}));
  EXPECT_EQ(ids(inbox.getMessagesByCategory("news")), (std::vector<std::string>{"1", "2"}));
  EXPECT_TRUE(hasStep("getMessagesByCategory called"));

  // The category list is distinct, with the empty category.
  enableDebugLog();
  EXPECT_EQ(sorted(inbox.getCategoryList()), (std::vector<std::string>{"", "news", "offers"}));
  log().clear();
  EXPECT_EQ(inbox.getCategoryCount(), 3);
  EXPECT_EQ(log().lines(), (std::vector<std::string>{"tavrino_log : getCategoryCount called.",
                                                     "tavrino_log : getCategoryList called."}));
}

TEST_F(InboxQueriesTest, DeletesMatchWholeIdsAndCategories) {
  EXPECT_FALSE(inbox.deleteMessage("99"));
  EXPECT_TRUE(inbox.deleteMessage("12"));
  EXPECT_FALSE(inbox.deleteMessage("12"));
  EXPECT_TRUE(inbox.hasMessage("123"));
  EXPECT_EQ(inbox.getMessage("12"), QivInboxMessage{});

  inbox.deleteMessagesByCategory("new");
  EXPECT_EQ(inbox.getMessageCount(), 4);
  inbox.deleteMessagesByCategory("news");
  EXPECT_EQ(sorted(ids(inbox.getAllMessages())), (std::vector<std::string>{"123", "3"}));
  inbox.deleteMessagesByIdlist({"3", "nope"});
  EXPECT_EQ(ids(inbox.getAllMessages()), (std::vector<std::string>{"123"}));

  inbox.storeExpiredMessage();
  groupSuite()->set("other", Value("kept"));
  inbox.deleteAllMessages();
  EXPECT_EQ(inbox.getMessageCount(), 0);
  EXPECT_TRUE(inbox.isStoreExpiredMessageEnabled());
  EXPECT_EQ(groupSuite()->string("other"), "kept");
}

}  // namespace
}  // namespace tavrino
