// A notification's way through the SDK: the service extension enriching it
// (image, delivery report, inbox message, buttons), in this process and in
// one of its own; its receipt in each application state; and the user's
// taps on it: the report, the records, the callback, the inbox and the link.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "desktop_session/helper_process.hpp"
#include "push/extension_buttons.hpp"
#include "push/extension_image.hpp"
#include "push/push_payload_test.hpp"
#include "service/service.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/push/attachment.hpp"
#include "tavrino/util/push.hpp"

namespace tavrino::testing {
namespace {

constexpr std::string_view kGroup = "group.ext";

class ExtensionTest : public PushPayloadTest {
 protected:
  void SetUp() override {
    PushPayloadTest::SetUp();
    Tavrino::setContentDeliveryOrigin(baseUrl);
  }
  void TearDown() override {
    std::filesystem::remove_all(attachmentDirectory());
    PushPayloadTest::TearDown();
  }

  platform::MutableNotificationContent run(const Value& payload, std::string_view imageKey = "m",
                                           std::string_view group = kGroup) {
    platform::NotificationRequest request;
    request.content.userInfo = payload;
    platform::MutableNotificationContent content;
    content.title = "as delivered";
    return client().didReceiveNotificationExtension(content, request, imageKey, group);
  }

  static std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
};

TEST_F(ExtensionTest, ImageAddressRules) {
  const std::pair<Value, std::string> rows[] = {
      {{{"m", "//cdn.example/a.png"}}, "https://cdn.example/a.png"},
      {{{"d", {{"i", "/x.png"}}}}, baseUrl + "x.png"},
      {{{"m", {1, 2}}}, ""}};
  for (const auto& [payload, address] : rows) {
    EXPECT_EQ(push::imageAddress(payload, payload.contains("d") ? "d|i" : "m"), address) << payload;
  }
  Tavrino::setContentDeliveryOrigin("");
  EXPECT_EQ(push::imageAddress(Value{{"m", "/a.png"}}, "m"), "https://cdn.tavrino.invalid/a.png");
}

// One notification with everything: image, delivery report, inbox message
// in the app group and its buttons as the campaign's category.
TEST_F(ExtensionTest, AttachesReportsFilesAndCategorisesOneNotification) {
  auto group = platform::current().userDefaults().suite(kGroup);
  group->set("uid", "u-1");
  group->set("cuid", "c-1");
  const auto content = run(Value::parse(R"({"zbid": "77", "qivxid": "sub9", "m": "/img/a.png",
      "qivibxmt": "deals", "qivibxttl": "60", "aps": {"alert": {"title": "T", "body": "B"}},
      "actionButtons": [{"id": "b1", "title": "Later"}, "junk", {"id": "b2", "title": "Open"}]})"));
  ASSERT_EQ(content.attachments.size(), 1u);
  const auto& attachment = content.attachments[0];
  EXPECT_EQ(std::tuple(attachment.identifier, std::filesystem::path(attachment.url),
                       fileText(attachment.url), content.title),
            std::tuple("qiv_img_77.jpg", attachmentDirectory() / "qiv_img_77.jpg",
                       service::builtInImage(), "as delivered"));
  expectQuery(
      awaitRequest("/t"),
      "zbid=77&a=v&qivcfrom=pushview&qivpnst=1&uids=u-1&cuid=c-1&qiv_subscription_id=sub9&s=1");

  QivInbox inbox;
  inbox.setStoreName(kGroup);
  const auto message = inbox.getMessage("77");
  EXPECT_EQ(std::tuple(message.channel, message.timeoutDate, message.message),
            std::tuple("push", std::to_string(now() + 3600), "B"));

  const platform::NotificationCategory category{
      "77",
      {{"b1", "Later", platform::action_option::foreground},
       {"b2", "Open", platform::action_option::foreground}},
      {},
      platform::category_option::customDismissAction};
  EXPECT_EQ(std::pair(content.categoryIdentifier, center().notificationCategories()),
            std::pair(std::string("77"), std::vector{category}));

  // Without "zbid" the image is still attached but nothing is reported.
  const auto anonymous = run(Value{{"m", "/img/a.png"}});
  EXPECT_EQ(anonymous.attachments.at(0).identifier, "qiv_img_.jpg");
  EXPECT_EQ(stepsAmong({"did receive notification extension view request triggered"}).size(), 1u);
  // A button list that is no list adds no category.
  EXPECT_EQ(run(Value{{"zbid", "78"}, {"actionButtons", "b1"}}).categoryIdentifier, "");
}

TEST_F(ExtensionTest, CampaignIdCannotLeaveTheAttachmentDirectory) {
  EXPECT_EQ(push::attachmentFileName("Ab-9_x"), "qiv_img_Ab-9_x.jpg");
  EXPECT_EQ(push::attachmentFileName("../../etc/x"), "qiv_img_______etc_x.jpg");
  EXPECT_EQ(push::attachmentFileName("a.b c\xc3\xa9"), "qiv_img_a_b_c__.jpg");

  const auto content = run(Value{{"zbid", "../../escape"}, {"m", "/img/a.png"}});
  EXPECT_EQ(std::filesystem::path(content.attachments.at(0).url).parent_path(),
            attachmentDirectory());
  EXPECT_FALSE(std::filesystem::exists(attachmentDirectory() / ".." / ".." / "escape.jpg"));
  EXPECT_FALSE(saveImageToDisk("../x.jpg", Data{1, 2}));
  EXPECT_TRUE(log().consoleContains("tavrino_log : attachment exception error : "));
}

// The last campaign's twice: the same again replaces its category.
TEST_F(ExtensionTest, CategoriesOfEarlierNotificationsAreKeptBounded) {
  for (int i = 1; i <= 71; ++i) {
    run(Value{{"zbid", std::to_string(std::min(i, 70))}, {"actionButtons", {{{"id", "b"}}}}});
  }
  const auto kept = center().notificationCategories();
  EXPECT_EQ(std::tuple(kept.size(), kept.front().identifier, kept.back().identifier),
            std::tuple(push::kMaxStoredCategories, "7", "70"));
  // What is stored is what the next notification (another process) starts from.
  const auto stored = platform::current().userDefaults().suite(kGroup)->object("_ntf_categories");
  EXPECT_EQ(push::decodeCategories(stored.value_or(Value())), center().notificationCategories());
}

TEST_F(ExtensionTest, UnreadableStoredCategoriesStartAFreshSet) {
  auto group = platform::current().userDefaults().suite(kGroup);
  group->set("_ntf_categories", Value{{"not", "a list"}});
  run(Value{{"zbid", "1"}, {"actionButtons", Value::array()}});
  EXPECT_EQ(center().notificationCategories().size(), 1u);

  group->set("_ntf_categories",
             Value::array({Value{{"identifier", 5}}, Value("x"),
                           Value{{"identifier", "ok"}, {"actions", "none"}, {"options", -1}}}));
  run(Value{{"zbid", "2"}, {"actionButtons", Value::array()}});
  const auto categories = center().notificationCategories();
  ASSERT_EQ(categories.size(), 2u);
  EXPECT_EQ(categories[0], (platform::NotificationCategory{"ok", {}, {}, 0}));
}

// The extension runs in a process of its own (the example program) over the
// application's data directory; the application then sees what it stored.
TEST_F(PushPayloadTest, ExtensionProcessFillsTheSharedInboxForTheApp) {
  client().setAppGroupName("group.shared");
  client().enableAppInbox();
  const auto payloadFile = dataDirectory() / "payload.json";
  std::ofstream(payloadFile) << R"({"aps": {"alert": {"title": "Sale", "body": "Today only"}},
      "zbid": "77", "qivibxmt": "deals", "qivibxttl": "60", "m": "/img/a.png",
      "actionButtons": [{"id": "b1", "title": "Open"}]})";
  HelperProcess extension(
      TAVRINO_NOTIFICATION_EXTENSION_PATH,
      {"--data-dir", dataDirectory().string(), "--base-url", baseUrl, "--company", "1", "--group",
       "group.shared", "--cdn", baseUrl, payloadFile.string()});
  // The SDK's console lines share the output; the result is the four
  // labelled lines.
  std::map<std::string, std::string> result;
  while (auto line = extension.readLine(std::chrono::seconds(20))) {
    const auto colon = line->find(": ");
    if (colon != std::string::npos) result[line->substr(0, colon)] = line->substr(colon + 2);
  }
  const std::filesystem::path attachment = result["attachment"];
  EXPECT_TRUE(attachment.filename() == "qiv_img_77.jpg" &&
              std::filesystem::is_regular_file(attachment));
  if (attachment.parent_path().filename().string().starts_with("tavrino-")) {
    std::filesystem::remove_all(attachment.parent_path());
  }
  ASSERT_EQ(extension.wait(), 0);
  EXPECT_EQ(std::tuple(result["title"], result["body"], result["category"]),
            std::tuple("Sale", "Today only", "77"));
  // The delivery report went out before the process ended.
  const auto views = service.requests("/t");
  EXPECT_TRUE(views.size() == 1 && views[0].queryValue("qivcfrom") == "pushview");
  const auto messages = QivInbox().getAllMessages();
  EXPECT_TRUE(messages.size() == 1 && messages[0].id == "77" && messages[0].category == "deals");
}

using platform::ApplicationState;

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
  EXPECT_FALSE(hasStep("push clicked called"));

  // A payload without an alert shows nothing again.
  center().removeAllPendingNotificationRequests();
  receive(Value{{"aps", {{"alert", {"a", "b"}}}}}, ApplicationState::active);
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
// inbox is on.
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
  expectQuery(hit,
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

  // A throwing callback stays inside the SDK.
  Util::setCookieToQIVDefaults("pushcb", "1");
  client().pushClickCallback([](const Value&) { throw std::runtime_error("host bug"); });
  EXPECT_NO_THROW(Util::pushClicked(kPayload, Util::kOrganicAction));
  EXPECT_EQ(opened().size(), 2u);
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
  expectQuery(awaitRequest("/t"), "zbid=77&clickid=3");
  EXPECT_EQ(opened(), std::vector<std::string>{"app://three"});
}

TEST_F(ReceiptClickTest, DismissalIsNoClickAndATapSwitchesTheAlternateIcon) {
  tap(kPayload, platform::dismissActionIdentifier);
  EXPECT_TRUE(hasStep("push clicked in delegate cb") && !hasStep("push clicked called"));
  EXPECT_TRUE(received.empty() && opened().empty());
  Value payload = kPayload;
  payload["ain"] = "Winter";
  tap(payload, platform::defaultActionIdentifier);
  dispatch().runFor(std::chrono::seconds(1));
  EXPECT_EQ(application().alternateIconName(), "Winter");
}

}  // namespace
}  // namespace tavrino::testing
