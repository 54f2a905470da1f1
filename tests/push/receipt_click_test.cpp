// A notification received in each application state, and the user's taps on
// it: the report, the records, the callback, the inbox and the link.

#include <gtest/gtest.h>

#include "push/push_payload_test.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/util/push.hpp"

namespace tavrino {
namespace {

using platform::ApplicationState;
using testing::PushPayloadTest;

const Value kPayload = Value::parse(R"({"aps": {"alert": {"title": "Sale", "body": "Today only"}},
  "zbid": "77", "zbidn": "spring", "zbidcn": "cn1", "zbidcln": "click one", "zbidappn": "shop",
  "qivxid": "sub9", "qivibxmt": "deals", "qivibxttl": "60", "l": "https://shop.example/sale",
  "actionButtons": [{"id": "b1", "title": "Later", "url": "app://later"},
                    {"id": "b2", "title": "Open", "url": "app://x"}]})");

class ReceiptClickTest : public PushPayloadTest {
 protected:
  void SetUp() override {
    PushPayloadTest::SetUp();
    client().pushClickCallback([this](const Value& userInfo) { received.push_back(userInfo); });
  }
  void receive(const Value& payload, ApplicationState state) {
    application().setApplicationState(state);
    client().didReceiveNotification(&application(), payload);
  }
  static Value with(Value payload, std::string_view alert) {
    payload["aps"]["alert"] = alert;
    return payload;
  }
  bool reported() { return hasStep("request start. type is : pushclick"); }
  std::vector<std::string> opened() { return application().openedURLs(); }

  std::vector<Value> received;
};

TEST_F(ReceiptClickTest, ForegroundReceiptSchedulesTheForegroundCopy) {
  receive(kPayload, ApplicationState::active);
  auto pending = center().pendingNotificationRequests();
  ASSERT_EQ(pending.size(), 1u);
  const auto& content = pending[0].content;
  EXPECT_EQ(std::tuple(pending[0].identifier, content.categoryIdentifier, content.title,
                       content.body, content.sound, content.userInfo, pending[0].trigger),
            std::tuple("foreground", "foregroundntf", "Sale", "Today only",
                       platform::defaultNotificationSound, kPayload,
                       platform::TimeIntervalNotificationTrigger{2, false}));

  // A text alert is the body; the copy replaces the earlier one.
  receive(with(kPayload, "Just text"), ApplicationState::active);
  pending = center().pendingNotificationRequests();
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(std::pair(pending[0].content.title, pending[0].content.body),
            (std::pair<std::string, std::string>("", "Just text")));
  EXPECT_FALSE(hasStep("push clicked called"));

  // A payload without an alert shows nothing again.
  center().removeAllPendingNotificationRequests();
  for (const Value& payload : {Value{{"aps", "alert"}}, Value{{"aps", {{"content-available", 1}}}},
                               Value{{"aps", {{"alert", {"a", "b"}}}}}})
    receive(payload, ApplicationState::active);
  EXPECT_TRUE(center().pendingNotificationRequests().empty());
}

TEST_F(ReceiptClickTest, LegacySystemsScheduleALocalNotificationAfterTheConfiguredDelay) {
  setSystemVersion("9.3");
  Util::setCookieToQIVDefaults("_push_req_to", "30");
  receive(kPayload, ApplicationState::active);
  Util::setCookieToQIVDefaults("_push_req_to", "soon");
  receive(with(kPayload, "Just text"), ApplicationState::active);

  setSystemVersion("7.1");
  receive(kPayload, ApplicationState::active);
  const auto scheduled = application().scheduledLocalNotifications();
  ASSERT_EQ(scheduled.size(), 2u);
  EXPECT_EQ(std::tuple(scheduled[0].alertTitle, scheduled[0].alertBody, scheduled[0].fireDate,
                       scheduled[1].alertBody, scheduled[1].fireDate),
            std::tuple("Sale", "Today only", now() + 30, "Just text", now() + 5000));
  EXPECT_TRUE(center().pendingNotificationRequests().empty());
}

// Opening the application from the notification is a click; in the
// background the receipt is quiet but files the inbox message, when the
// inbox is on, for its lifetime (0 withdraws it).
TEST_F(ReceiptClickTest, OpeningFromTheNotificationIsAClickAndBackgroundFilesTheInbox) {
  client().setAppGroupName("group.test");
  QivInbox inbox;
  receive(kPayload, ApplicationState::background);
  EXPECT_FALSE(hasStep("push clicked called") || inbox.hasMessage("77"));
  EXPECT_TRUE(center().pendingNotificationRequests().empty());

  receive(kPayload, ApplicationState::inactive);
  EXPECT_EQ(awaitRequest("/t").queryValue("qivcfrom"), "pushclick");
  EXPECT_EQ(opened(), std::vector<std::string>{"https://shop.example/sale"});
  // An empty payload is no click; the class form receives the same way.
  Tavrino::didReceiveBackgroundNotification(nullptr, Value::object());
  Tavrino::didReceiveBackgroundNotification(nullptr, Value());
  EXPECT_EQ(opened().size(), 1u);

  client().enableAppInbox();
  receive(kPayload, ApplicationState::background);
  const auto message = inbox.getMessage("77");
  EXPECT_EQ(std::tuple(message.category, message.title, message.channel,
                       inbox.initStorageForQivInbox()->name()),
            std::tuple("deals", "Sale", "push", "group.test"));
  Value withdrawn = kPayload;
  withdrawn["qivibxttl"] = "0";
  receive(withdrawn, ApplicationState::background);
  EXPECT_FALSE(inbox.hasMessage("77"));
}

// Taps on the notification and on a button: the report, the records, the
// callback, the attribution entries, the inbox mark and the link.
TEST_F(ReceiptClickTest, TapsReportRecordCallBackAndOpenTheirLinks) {
  client().enableAppInbox();
  QivInbox inbox;
  inbox.setMessage(Value{{"zbid", "77"}, {"qivibxttl", "60"}, {"qivibxr", "2"}});
  Util::setCookieToQIVDefaults("_utm_source", "src");
  Value payload = kPayload;
  payload.update(Value{{"qivparam", "p1"},
                       {"src", "newsletter"},
                       {"utm_medium", "push"},
                       {"utm_source", "ignored"}});
  tap(payload, platform::defaultActionIdentifier);

  const auto hit = awaitRequest("/t");
  expectPairs(hit,
              "zbid=77&a=c&appid=3&clickid=1&clcend=1440&qivcfrom=pushclick&n=spring&cn=cn1&"
              "clickname=click one&appname=shop&qiv_subscription_id=sub9&s=1&src=newsletter");
  EXPECT_TRUE(stored("_push_click_link").ends_with(hit.target)) << hit.target;
  const std::string record = "77:1 " + std::to_string(now() + 86400);
  // "src" is stored under the configured name.
  EXPECT_EQ(std::tuple(stored("qiv_c_77"), stored("qiv_lzbid3"), stored("qivparam"), stored("src"),
                       stored("utm_medium"), has("utm_source"), inbox.getMessage("77").status),
            std::tuple(record, record, "p1", "newsletter", "push", false, "1"));
  EXPECT_EQ(received, std::vector<Value>{payload});
  EXPECT_EQ(opened(), std::vector<std::string>{"https://shop.example/sale"});

  // A button reports its id and opens its URL; a tap on the notification
  // itself takes the payload's click id.
  payload["zbidclid"] = "5";
  payload["zbidapp"] = "12";
  tap(payload, "b2");
  EXPECT_EQ(awaitRequest("/t", 1).queryValue("clickid"), "b2");
  EXPECT_EQ(stored("qiv_lzbid12"), "77:b2 " + std::to_string(now() + 86400));
  EXPECT_EQ(opened().back(), "app://x");
  tap(payload, platform::defaultActionIdentifier);
  EXPECT_EQ(awaitRequest("/t", 2).queryValue("clickid"), "5");
}

TEST_F(ReceiptClickTest, SwitchesSuppressOnlyTheirOwnPart) {
  Util::setCookieToQIVDefaults("_native_click", "1");
  Util::pushClicked(kPayload, Util::kOrganicAction);
  EXPECT_TRUE(reported() && received.size() == 1 && opened().empty());

  Util::setCookieToQIVDefaults("_native_click", "0");
  Util::setCookieToQIVDefaults("pushcb", "0");
  Util::pushClicked(kPayload, Util::kOrganicAction);
  EXPECT_EQ(std::pair(received.size(), opened().size()), (std::pair<size_t, size_t>(1, 1)));
  EXPECT_TRUE(service.waitForRequests("/t", 2, std::chrono::seconds(5)));

  // Without a campaign there is nothing to report; the rest still happens.
  Util::setCookieToQIVDefaults("pushcb", "1");
  Util::removeCookieFromQIVDefaults("_push_click_link");
  Value payload = kPayload;
  payload.erase("zbid");
  Util::pushClicked(payload, Util::kOrganicAction);
  EXPECT_EQ(stepsAmong({"request start. type is : pushclick"}).size(), 2u);
  EXPECT_FALSE(has("_push_click_link"));
  EXPECT_EQ(std::pair(received.size(), opened().size()), (std::pair<size_t, size_t>(2, 2)));

  // A throwing callback stays inside the SDK.
  client().pushClickCallback([](const Value&) { throw std::runtime_error("host bug"); });
  EXPECT_NO_THROW(Util::pushClicked(kPayload, Util::kOrganicAction));
  EXPECT_EQ(opened().size(), 3u);
}

// A number counts as its text; entries of other unexpected kinds, and
// buttons that are no maps, are passed over.
TEST_F(ReceiptClickTest, EntriesOfUnexpectedKindsAreSkipped) {
  Util::pushClicked(Value::parse(R"({"zbid": {"nested": 1}, "zbidclid": true,
      "actionButtons": "b2", "qivxid": 9, "l": ["app://list"]})"),
                    "b2");
  EXPECT_TRUE(!reported() && opened().empty() && received.size() == 1);
  EXPECT_TRUE(log().contains("push payload entry skipped, unexpected kind : zbid") &&
              log().contains("unexpected kind : actionButtons"));

  Util::pushClicked(Value::parse(R"({"zbid": 77, "zbidclid": true,
      "actionButtons": ["junk", {"id": 3, "url": "app://three"}]})"),
                    "3");
  expectPairs(awaitRequest("/t"), "zbid=77&clickid=3");
  EXPECT_EQ(opened(), std::vector<std::string>{"app://three"});
}

TEST_F(ReceiptClickTest, LinksAreTakenFromThePayloadPathAndOnlyUrlsOpen) {
  for (const char* link : {"not a url", "no-scheme/path", "app://x\nHost: y", "app://%zz", ":x"})
    Util::pushClicked(Value{{"l", link}}, Util::kOrganicAction);
  EXPECT_TRUE(opened().empty());

  client().setPayloadLink("data|url");
  Util::pushClicked(Value{{"data", {{"url", "app://nested"}}}, {"l", "app://top"}},
                    Util::kOrganicAction);
  EXPECT_EQ(opened(), std::vector<std::string>{"app://nested"});
  // A map on the way that is no map, or at the end, is no text.
  const Value deep = {{"a", {{"b", {{"c", 42}}}}}, {"x", "text"}, {"n", nullptr}};
  std::vector<std::string> found;
  for (const char* path : {"a|b|c", "x", "x|y", "a|b", "a|", "n"})
    found.push_back(Util::findValueRecursive(deep, path));
  EXPECT_EQ(found, (std::vector<std::string>{"42", "text", "", "", "", ""}));
  EXPECT_EQ(Util::findValueRecursive(Value("no map"), "a|b"), "");
}

TEST_F(ReceiptClickTest, DismissalIsNoClickAndTheAlternateIconSwitchesOneSecondAfterATap) {
  tap(kPayload, platform::dismissActionIdentifier);
  EXPECT_TRUE(hasStep("push clicked in delegate cb") && !hasStep("push clicked called"));
  EXPECT_TRUE(received.empty() && opened().empty());

  Value payload = kPayload;
  payload["ain"] = "Winter";
  tap(payload, platform::defaultActionIdentifier);
  dispatch().runFor(std::chrono::milliseconds(999));
  EXPECT_EQ(application().alternateIconName(), std::nullopt);
  dispatch().runFor(std::chrono::milliseconds(1));
  EXPECT_EQ(application().alternateIconName(), "Winter");

  // Before 10.3 there are no alternate icons to switch to.
  setSystemVersion("10.2");
  payload["ain"] = "Summer";
  tap(payload, platform::defaultActionIdentifier);
  dispatch().runFor(std::chrono::seconds(2));
  EXPECT_EQ(application().alternateIconName(), "Winter");
}

}  // namespace
}  // namespace tavrino
