#include <gtest/gtest.h>

#include "inbox/inbox_test.hpp"
#include "tavrino/client.hpp"
#include "tavrino/util/inbox.hpp"

namespace tavrino {
namespace {

class InboxUtilTest : public testing::InboxTest {};

TEST_F(InboxUtilTest, MarkAsReadActsOnTheAppGroupInboxOnlyWhenEnabled) {
  inbox.setMessage(message("5"));
  Util::markAsReadInboxMessage("5");
  EXPECT_EQ(inbox.getMessage("5").status, "2");
  Tavrino client("https://t.invalid/", "1", "0");
  client.enableAppInbox();
  client.disableAppInbox();  // not read
  EXPECT_TRUE(Util::isEnabledAppInbox());
  Util::markAsReadInboxMessage("5");
  EXPECT_EQ(inbox.getMessage("5").status, "1");
}

TEST_F(InboxUtilTest, ProducerDecisionFollowsLifetimeAndUpdateId) {
  inbox.setMessage(message("s"));
  inbox.setMessage(message("u"));
  EXPECT_EQ(Util::hasInboxMessage(Value{{"zbid", "n"}}), "none");
  EXPECT_EQ(Util::hasInboxMessage(Value{{"qivibxttl", "10"}}), "none");
  EXPECT_EQ(Util::hasInboxMessage(Value{{"zbid", "n"}, {"qivibxttl", "10"}}), "write");
  EXPECT_EQ(Util::hasInboxMessage(Value{{"zbid", "s"}, {"qivibxttl", 10}}), "none");
  EXPECT_EQ(Util::hasInboxMessage(Value{{"zbid", "s"}, {"qivibxttl", "10"}, {"qivibxzbid", "u"}}),
            "write");
  EXPECT_EQ(Util::hasInboxMessage(Value{{"zbid", "s"}, {"qivibxttl", "10"}, {"qivibxzbid", "x"}}),
            "none");
  for (const char* withdrawn : {"-1", "0", "1.5", "abc"}) {
    inbox.setMessage(message("w"));
    EXPECT_EQ(Util::hasInboxMessage(Value{{"zbid", "w"}, {"qivibxttl", withdrawn}}), "delete");
    EXPECT_FALSE(inbox.hasMessage("w")) << withdrawn;
  }
  EXPECT_TRUE(inbox.hasMessage("s"));
}

}  // namespace
}  // namespace tavrino
