#include <gtest/gtest.h>

#include "push/push_payload_test.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"

namespace tavrino {
namespace {

using testing::PushPayloadTest;

const Value kPayload = {{"aps", {{"alert", {{"title", "Sale"}, {"body", "Today only"}}}}},
                        {"zbid", "77"},
                        {"qivibxmt", "deals"},
                        {"qivibxttl", "60"},
                        {"l", "app://sale"}};

class ReceiptTest : public PushPayloadTest {
 protected:
  void receive(const Value& payload, platform::ApplicationState state) {
    application().setApplicationState(state);
    client().didReceiveNotification(&application(), payload);
  }
};

TEST_F(ReceiptTest, ForegroundReceiptSchedulesTheForegroundCopy) {
  receive(kPayload, platform::ApplicationState::active);
  auto pending = center().pendingNotificationRequests();
  ASSERT_EQ(pending.size(), 1u);
  const auto& request = pending[0];
  EXPECT_EQ(request.identifier, "foreground");
  EXPECT_EQ(request.content.categoryIdentifier, "foregroundntf");
  EXPECT_EQ(request.content.title, "Sale");
  EXPECT_EQ(request.content.body, "Today only");
  EXPECT_EQ(request.content.sound, platform::defaultNotificationSound);
  EXPECT_EQ(request.content.userInfo, kPayload);
  EXPECT_EQ(request.trigger, (platform::TimeIntervalNotificationTrigger{2, false}));

  // A text alert is the body; the copy replaces the earlier one.
  Value textAlert = kPayload;
  textAlert["aps"]["alert"] = "Just text";
  receive(textAlert, platform::ApplicationState::active);
  pending = center().pendingNotificationRequests();
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(pending[0].content.title, "");
  EXPECT_EQ(pending[0].content.body, "Just text");
  EXPECT_FALSE(hasStep("push clicked called"));
}

TEST_F(ReceiptTest, LegacySystemsScheduleALocalNotificationAfterTheConfiguredDelay) {
  setSystemVersion("9.3");
  Util::setCookieToQIVDefaults("_push_req_to", "30");
  receive(kPayload, platform::ApplicationState::active);
  Util::setCookieToQIVDefaults("_push_req_to", "soon");
  Value textAlert = kPayload;
  textAlert["aps"]["alert"] = "Just text";
  receive(textAlert, platform::ApplicationState::active);

  const auto scheduled = application().scheduledLocalNotifications();
  ASSERT_EQ(scheduled.size(), 2u);
  EXPECT_EQ(scheduled[0].alertTitle, "Sale");
  EXPECT_EQ(scheduled[0].alertBody, "Today only");
  EXPECT_EQ(scheduled[0].fireDate, now() + 30);
  EXPECT_EQ(scheduled[1].alertBody, "Just text");
  EXPECT_EQ(scheduled[1].fireDate, now() + 5000);
  EXPECT_TRUE(center().pendingNotificationRequests().empty());

  setSystemVersion("7.1");
  receive(kPayload, platform::ApplicationState::active);
  EXPECT_EQ(application().scheduledLocalNotifications().size(), 2u);
}

TEST_F(ReceiptTest, PayloadWithoutAlertShowsNothingAgain) {
  for (const Value& payload :
       {Value{{"zbid", "1"}}, Value{{"aps", "alert"}}, Value{{"aps", {{"content-available", 1}}}},
        Value{{"aps", {{"alert", {"a", "list"}}}}}}) {
    receive(payload, platform::ApplicationState::active);
  }
  EXPECT_TRUE(center().pendingNotificationRequests().empty());
}

TEST_F(ReceiptTest, OpeningFromTheNotificationIsAClickAndBackgroundIsQuiet) {
  receive(kPayload, platform::ApplicationState::background);
  EXPECT_FALSE(hasStep("push clicked called"));
  EXPECT_TRUE(center().pendingNotificationRequests().empty());

  receive(kPayload, platform::ApplicationState::inactive);
  EXPECT_EQ(awaitRequest("/t").queryValue("qivcfrom"), "pushclick");
  EXPECT_EQ(application().openedURLs(), std::vector<std::string>{"app://sale"});

  // An empty payload is no click; the class form receives the same way.
  Tavrino::didReceiveBackgroundNotification(nullptr, Value::object());
  Tavrino::didReceiveBackgroundNotification(nullptr, Value());
  EXPECT_EQ(application().openedURLs().size(), 1u);
}

TEST_F(ReceiptTest, InboxFilingFollowsTheSwitchAndTheLifetime) {
  client().setAppGroupName("group.test");
  QivInbox inbox;
  receive(kPayload, platform::ApplicationState::background);
  EXPECT_FALSE(inbox.hasMessage("77"));  // the inbox is off

  client().enableAppInbox();
  receive(kPayload, platform::ApplicationState::background);
  const auto message = inbox.getMessage("77");
  EXPECT_EQ(message.category, "deals");
  EXPECT_EQ(message.title, "Sale");
  EXPECT_EQ(message.channel, "push");
  EXPECT_EQ(inbox.initStorageForQivInbox()->name(), "group.test");

  // A lifetime of 0 withdraws the message.
  Value withdrawn = kPayload;
  withdrawn["qivibxttl"] = "0";
  receive(withdrawn, platform::ApplicationState::background);
  EXPECT_FALSE(inbox.hasMessage("77"));
}

}  // namespace
}  // namespace tavrino
