#include <gtest/gtest.h>

#include <filesystem>

#include "core/keyed_archive.hpp"
#include "inbox/inbox_test.hpp"

namespace tavrino {
namespace {

namespace fs = std::filesystem;
using testing::kGroup;

class InboxSuiteTest : public testing::InboxTest {
 protected:
  std::shared_ptr<platform::UserDefaultsSuite> privateSuite() {
    return platform::current().userDefaults().suite(QivInbox::kPrivateStoreName);
  }
};

TEST_F(InboxSuiteTest, StoreNameIsSetOrTheAppGroupElseThePrivateInbox) {
  inbox.setMessage(message("g"));
  EXPECT_EQ(inbox.messages_store_name, kGroup);
  QivInbox named;
  named.setStoreName("group.other");
  named.setMessage(message("o"));
  EXPECT_FALSE(inbox.hasMessage("o"));

  Util::removeCookieFromQIVDefaults("qiv_inbox_groupname");
  QivInbox noGroup;
  noGroup.setMessage(message("p"));
  EXPECT_EQ(noGroup.messages_store_name, "");
  restartPlatform();
  EXPECT_TRUE(noGroup.hasMessage("p"));  // persistent
  Util::setCookieToQIVDefaults("qiv_inbox_groupname", kGroup);
  EXPECT_FALSE(noGroup.hasMessage("p"));  // the group set later is picked up
  EXPECT_TRUE(noGroup.hasMessage("g"));
}

TEST_F(InboxSuiteTest, RefusedNameFallsBackToThePrivateInboxInsideTheDataDirectory) {
  enableDebugLog();
  for (const char* refused : {"../escape", ".hidden", "a/b"}) {
    QivInbox bad;
    bad.setStoreName(refused);
    bad.setMessage(message(refused));
    EXPECT_TRUE(bad.hasMessage(refused)) << refused;
  }
  EXPECT_TRUE(log().contains("tavrino_log : inbox store name refused. using : qiv_inbox_app"));
  restartPlatform();
  EXPECT_EQ(privateSuite()->dictionaryRepresentation().size(), 3u);
  EXPECT_FALSE(fs::exists(dataDirectory().parent_path() / "escape.defaults.sqlite"));
  for (const auto& file : fs::recursive_directory_iterator(dataDirectory())) {
    const std::string name = file.path().filename().string();
    EXPECT_TRUE(name.starts_with("qiv_default.") || name.starts_with("qiv_inbox_app.") ||
                name.starts_with("group.test."))
        << name;
  }
}

TEST_F(InboxSuiteTest, UnreadableEntriesAreEmptyRecordsThatCanBeRemoved) {
  inbox.setMessage(message("good", 3600, "c"));
  groupSuite()->set("qiv_inbox_text", Value("not data"));
  groupSuite()->set("qiv_inbox_junk", Value::binary({0xff, 0x00, 0x13}));
  groupSuite()->set("qiv_inbox_list", Value::binary(Value::to_cbor(Value::array({"zbid"}))));

  const auto records = inbox.getAllMessages();
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(std::count(records.begin(), records.end(), QivInboxMessage{}), 3);
  EXPECT_EQ(inbox.getMessage("junk"), QivInboxMessage{});
  EXPECT_EQ(sorted(inbox.getCategoryList()), (std::vector<std::string>{"", "c"}));

  EXPECT_TRUE(inbox.deleteMessage("text"));
  // No whole-number expiry: the first to be evicted, and expired.
  EXPECT_TRUE(inbox.pop());
  EXPECT_EQ(inbox.getMessageCount(), 2);
  inbox.checkMessages();
  EXPECT_EQ(ids(inbox.getAllMessages()), (std::vector<std::string>{"good"}));

  groupSuite()->set("qiv_inbox_junk", Value::binary({0x01}));
  inbox.deleteAllMessages();
  EXPECT_EQ(inbox.getMessageCount(), 0);
}

}  // namespace
}  // namespace tavrino
