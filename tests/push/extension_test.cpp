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

namespace tavrino {
namespace {

using testing::PushPayloadTest;

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
      {{{"m", "/img/a.png"}}, baseUrl + "img/a.png"},
      {{{"m", "http://h/a.png"}}, "http://h/a.png"},
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
  expectPairs(
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

TEST_F(ExtensionTest, FailedOrMissingImageLeavesNoAttachment) {
  service.setBehavior("/img/*", service::Behavior::failing(service::Failure::status500));
  for (const Value& image :
       {Value("/img/a.png"), Value("not a url"), Value("file:///etc/passwd"), Value()}) {
    EXPECT_TRUE(run(Value{{"zbid", "1"}, {"m", image}}).attachments.empty()) << image;
  }
}

TEST_F(ExtensionTest, CategoriesOfEarlierNotificationsAreKeptBounded) {
  const auto buttons = [](const std::string& id) {
    return Value{{"zbid", id}, {"actionButtons", {{{"id", "b"}, {"title", id}}}}};
  };
  for (const char* id : {"1", "2", "1"}) run(buttons(id));  // the same again: replaced
  const auto identifiers = [] {
    std::vector<std::string> all;
    for (const auto& category : center().notificationCategories())
      all.push_back(category.identifier);
    return all;
  };
  EXPECT_EQ(identifiers(), (std::vector<std::string>{"2", "1"}));
  for (int i = 3; i <= 70; ++i) run(buttons(std::to_string(i)));
  const auto kept = identifiers();
  EXPECT_EQ(std::tuple(kept.size(), kept.front(), kept.back()),
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
  testing::HelperProcess extension(
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
  ASSERT_EQ(views.size(), 1u);
  EXPECT_EQ(views[0].queryValue("qivcfrom"), "pushview");
  const auto messages = QivInbox().getAllMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(std::pair(messages[0].id, messages[0].category),
            (std::pair<std::string, std::string>("77", "deals")));
  const auto categories = push::decodeCategories(
      platform::current().userDefaults().suite("group.shared")->object("_ntf_categories").value());
  EXPECT_EQ(categories.at(0).identifier, "77");
}

}  // namespace
}  // namespace tavrino
