#include <gtest/gtest.h>

#include <filesystem>
#include <future>

#include "desktop_session/desktop_session.hpp"
#include "push/push_payload_test.hpp"
#include "tavrino/gtk/desktop_notification_center.hpp"
#include "tavrino/push/attachment.hpp"

namespace tavrino {
namespace {

using platform::AuthorizationStatus;

const Value kPayload = {{"aps", {{"alert", {{"title", "Sale"}, {"body", "Today only"}}}}},
                        {"zbid", "77"},
                        {"m", "/img/a.png"},
                        {"l", "https://shop.example/sale"},
                        {"actionButtons",
                         {{{"id", "b1"}, {"title", "Later"}, {"url", "app://later"}},
                          {{"id", "b2"}, {"title", "Open"}, {"url", "app://x"}}}}};

// A private desktop (with or without a notification server) and the SDK on
// a platform whose notifications go to it.
template <bool kServer>
class DesktopNotificationTest : public testing::PushPayloadTest {
 protected:
  void SetUp() override {
    PushPayloadTest::SetUp();
    Tavrino::setContentDeliveryOrigin(baseUrl);
  }
  void TearDown() override {
    PushPayloadTest::TearDown();
    std::filesystem::remove_all(attachmentDirectory());
  }
  std::unique_ptr<platform::Platform> makePlatform(
      platform::LinuxPlatformOptions options) override {
    return gtk::withDesktopNotifications(platform::makeLinuxPlatform(std::move(options)));
  }

  // Enriches the payload as the extension does, then shows it. Returns the
  // centre's error.
  std::optional<std::string> deliver(const std::string& identifier) {
    platform::NotificationRequest request{.identifier = identifier};
    request.content = {.title = "Sale", .body = "Today only", .userInfo = kPayload};
    request.content = client().didReceiveNotificationExtension(request.content, request, "m");
    auto shown = std::make_shared<std::promise<std::optional<std::string>>>();
    dynamic_cast<gtk::DesktopNotificationCenter&>(platform::current().userNotificationCenter())
        .deliver(request, [shown](std::optional<std::string> error) { shown->set_value(error); });
    auto answer = shown->get_future();
    return answer.wait_for(std::chrono::seconds(10)) == std::future_status::ready ? answer.get()
                                                                                  : "no answer";
  }
  std::vector<std::string> clickIds() {
    std::vector<std::string> ids;
    for (const auto& hit : service.requests("/t")) {
      if (hit.queryValue("a") == "c") ids.push_back(hit.queryValue("clickid").value_or("?"));
    }
    return ids;
  }

  testing::DesktopSession desktop{kServer};
};

using WithServer = DesktopNotificationTest<true>;
using WithoutServer = DesktopNotificationTest<false>;

// What the server shows and offers, clicks on a button and on the body, and
// a notification the user closes.
TEST_F(WithServer, ShowsNotificationsAndTurnsAnswersIntoClicks) {
  client().register_();
  ASSERT_TRUE(registered());

  const struct {
    std::string action, clickId, url;
  } answers[] = {{"b2", "b2", "app://x"}, {"default", "1", "https://shop.example/sale"}};
  std::vector<std::string> expectedClicks, expectedURLs;
  for (const auto& answer : answers) {
    SCOPED_TRACE(answer.action);
    ASSERT_EQ(deliver(answer.action), std::nullopt);
    const auto arrived = desktop.arrived(expectedClicks.size() + 1);
    ASSERT_EQ(arrived.size(), expectedClicks.size() + 1);
    const std::string id = arrived.back().id;
    EXPECT_EQ(arrived.back(),
              (testing::ArrivedNotification{id, "Sale", "Today only",
                                            (attachmentDirectory() / "qiv_img_77.jpg").string()}));
    auto offered = desktop.invokeAction("[" + id + "," + answer.action + "]");
    std::sort(offered.begin(), offered.end());
    const std::string of = " (Sale) [" + id + ",";
    EXPECT_EQ(offered, (std::vector<std::string>{"#Later" + of + "b1]", "#Open" + of + "b2]",
                                                 "#Open" + of + "default]"}));
    expectedClicks.push_back(answer.clickId);
    expectedURLs.push_back(answer.url);
    EXPECT_TRUE(waitUntil([&] {
      return clickIds() == expectedClicks && application().openedURLs() == expectedURLs;
    })) << ::testing::PrintToString(clickIds());
  }

  // Closed by the user: the delegate hears a dismissal, nothing is clicked.
  ASSERT_EQ(deliver("closed"), std::nullopt);
  ASSERT_EQ(desktop.arrived(3).size(), 3u);
  ASSERT_TRUE(desktop.closeNotification());
  EXPECT_TRUE(waitUntil([&] { return stepsAmong({"push clicked in delegate cb"}).size() == 3; }));
  EXPECT_TRUE(staysFalse(
      [&] { return clickIds() != expectedClicks || application().openedURLs() != expectedURLs; }));
}

TEST_F(WithoutServer, PermissionIsDeniedWithALogLineAndNothingShows) {
  client().register_();
  EXPECT_TRUE(waitUntil([] {
    return application().notificationSettings().authorizationStatus == AuthorizationStatus::denied;
  }));
  EXPECT_TRUE(log().contains("notification permission denied, no notification server : "));
  EXPECT_TRUE(deliver("first").has_value());
  EXPECT_EQ(application().remoteNotificationRegistrationCount(), 0);
}

}  // namespace
}  // namespace tavrino
