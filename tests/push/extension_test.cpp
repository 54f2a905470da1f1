#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

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
  EXPECT_EQ(push::imageAddress(Value{{"m", "//cdn.example/a.png"}}, "m"),
            "https://cdn.example/a.png");
  EXPECT_EQ(push::imageAddress(Value{{"m", "/img/a.png"}}, "m"), baseUrl + "img/a.png");
  EXPECT_EQ(push::imageAddress(Value{{"m", "http://h/a.png"}}, "m"), "http://h/a.png");
  EXPECT_EQ(push::imageAddress(Value{{"d", {{"i", "/x.png"}}}}, "d|i"), baseUrl + "x.png");
  EXPECT_EQ(push::imageAddress(Value{{"m", {1, 2}}}, "m"), "");

  Tavrino::setContentDeliveryOrigin("");
  EXPECT_EQ(push::imageAddress(Value{{"m", "/a.png"}}, "m"), "https://cdn.tavrino.invalid/a.png");
}

// One notification with everything: image, delivery report, inbox message
// in the app group and its buttons as the campaign's category.
TEST_F(ExtensionTest, AttachesReportsFilesAndCategorisesOneNotification) {
  auto group = platform::current().userDefaults().suite(kGroup);
  group->set("uid", "u-1");
  group->set("cuid", "c-1");
  const auto content =
      run(Value{{"zbid", "77"},
                {"qivxid", "sub9"},
                {"m", "/img/a.png"},
                {"qivibxmt", "deals"},
                {"qivibxttl", "60"},
                {"aps", {{"alert", {{"title", "T"}, {"body", "B"}}}}},
                {"actionButtons",
                 {{{"id", "b1"}, {"title", "Later"}}, "junk", {{"id", "b2"}, {"title", "Open"}}}}});
  ASSERT_EQ(content.attachments.size(), 1u);
  const auto& attachment = content.attachments[0];
  EXPECT_EQ(attachment.identifier, "qiv_img_77.jpg");
  EXPECT_EQ(std::filesystem::path(attachment.url), attachmentDirectory() / "qiv_img_77.jpg");
  EXPECT_EQ(fileText(attachment.url), service::builtInImage());
  EXPECT_EQ(content.title, "as delivered");

  const auto view = awaitRequest("/t");
  const std::pair<const char*, const char*> expected[] = {
      {"zbid", "77"},  {"a", "v"},      {"qivcfrom", "pushview"},        {"qivpnst", "1"},
      {"uids", "u-1"}, {"cuid", "c-1"}, {"qiv_subscription_id", "sub9"}, {"s", "1"}};
  for (const auto& [key, value] : expected) EXPECT_EQ(view.queryValue(key), value) << key;

  QivInbox inbox;
  inbox.setStoreName(kGroup);
  const auto message = inbox.getMessage("77");
  EXPECT_EQ(message.channel, "push");
  EXPECT_EQ(message.timeoutDate, std::to_string(now() + 3600));
  EXPECT_EQ(message.message, "B");

  EXPECT_EQ(content.categoryIdentifier, "77");
  const auto categories = center().notificationCategories();
  ASSERT_EQ(categories.size(), 1u);
  const platform::NotificationCategory category{
      "77",
      {{"b1", "Later", platform::action_option::foreground},
       {"b2", "Open", platform::action_option::foreground}},
      {},
      platform::category_option::customDismissAction};
  EXPECT_EQ(categories[0], category);

  // Without "zbid" the image is still attached but nothing is reported.
  const auto anonymous = run(Value{{"m", "/img/a.png"}});
  ASSERT_EQ(anonymous.attachments.size(), 1u);
  EXPECT_EQ(anonymous.attachments[0].identifier, "qiv_img_.jpg");
  EXPECT_EQ(stepsAmong({"did receive notification extension view request triggered"}).size(), 1u);
  // A button list that is no list adds no category.
  EXPECT_EQ(run(Value{{"zbid", "78"}, {"actionButtons", "b1"}}).categoryIdentifier, "");
}

TEST_F(ExtensionTest, CampaignIdCannotLeaveTheAttachmentDirectory) {
  EXPECT_EQ(push::attachmentFileName("Ab-9_x"), "qiv_img_Ab-9_x.jpg");
  EXPECT_EQ(push::attachmentFileName("../../etc/x"), "qiv_img_______etc_x.jpg");
  EXPECT_EQ(push::attachmentFileName("a.b c\xc3\xa9"), "qiv_img_a_b_c__.jpg");

  const auto content = run(Value{{"zbid", "../../escape"}, {"m", "/img/a.png"}});
  ASSERT_EQ(content.attachments.size(), 1u);
  EXPECT_EQ(std::filesystem::path(content.attachments[0].url).parent_path(), attachmentDirectory());
  EXPECT_FALSE(std::filesystem::exists(attachmentDirectory() / ".." / ".." / "escape.jpg"));

  // The public operation refuses what is no plain file name.
  for (const char* name : {"../x.jpg", "a/b.jpg", "..", ".", ""}) {
    EXPECT_EQ(saveImageToDisk(name, Data{1, 2}), std::nullopt) << name;
  }
  EXPECT_TRUE(log().consoleContains("tavrino_log : attachment exception error : "));
}

TEST_F(ExtensionTest, FailedOrMissingImageLeavesNoAttachment) {
  service.setBehavior("/img/*", service::Behavior::failing(service::Failure::status500));
  EXPECT_TRUE(run(Value{{"zbid", "1"}, {"m", "/img/a.png"}}).attachments.empty());
  EXPECT_TRUE(run(Value{{"zbid", "1"}, {"m", "not a url"}}).attachments.empty());
  EXPECT_TRUE(run(Value{{"zbid", "1"}, {"m", "file:///etc/passwd"}}).attachments.empty());
  EXPECT_TRUE(run(Value{{"zbid", "1"}}).attachments.empty());
}

TEST_F(ExtensionTest, ShorterFormsReadImageKeyMAndStoreNoInbox) {
  platform::NotificationRequest request;
  request.content.userInfo = {
      {"zbid", "5"}, {"m", "/img/a.png"}, {"qivibxmt", "deals"}, {"qivibxttl", "60"}};
  platform::MutableNotificationContent content;
  client().didReceiveNotificationExtension(content, request);
  EXPECT_EQ(content.attachments.size(), 1u);
  EXPECT_TRUE(hasStep("did receive notification extension 3 called"));
  EXPECT_TRUE(hasStep("did receive notification extension 2 called"));
  EXPECT_FALSE(hasStep("did receive notification extension inbox message prepared"));
  EXPECT_EQ(QivInbox().getMessageCount(), 0);
}

TEST_F(ExtensionTest, CategoriesOfEarlierNotificationsAreKeptBounded) {
  const auto buttons = [](const std::string& id) {
    return Value{{"zbid", id}, {"actionButtons", {{{"id", "b"}, {"title", id}}}}};
  };
  run(buttons("1"));
  run(buttons("2"));
  run(buttons("1"));  // the same campaign again: replaced, not duplicated
  auto categories = center().notificationCategories();
  ASSERT_EQ(categories.size(), 2u);
  EXPECT_EQ(categories[0].identifier, "2");
  EXPECT_EQ(categories[1].identifier, "1");

  for (int i = 3; i <= 70; ++i) run(buttons(std::to_string(i)));
  categories = center().notificationCategories();
  ASSERT_EQ(categories.size(), push::kMaxStoredCategories);
  EXPECT_EQ(categories.front().identifier, "7");
  EXPECT_EQ(categories.back().identifier, "70");

  // What is stored is what the next notification (another process) starts from.
  const auto stored = platform::current().userDefaults().suite(kGroup)->object("_ntf_categories");
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(push::decodeCategories(*stored), categories);
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

}  // namespace
}  // namespace tavrino
