#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "desktop_session/temp_dir.hpp"
#include "tavrino/platform/linux_system_info.hpp"
#include "tavrino/platform/linux_user_notification_center.hpp"

namespace tavrino::platform {
namespace {

namespace option = authorization_option;

// A callback queue the test drains by hand, so it can see that completions
// never run inside the call.
class ManualQueue {
 public:
  LinuxUserNotificationCenter::CallbackQueue queue() {
    return [this](std::function<void()> task) { tasks_.push_back(std::move(task)); };
  }
  void drain() {
    while (!tasks_.empty()) {
      auto batch = std::exchange(tasks_, {});
      for (auto& task : batch) task();
    }
  }

 private:
  std::vector<std::function<void()>> tasks_;
};

class UserNotificationCenterTest : public ::testing::Test {
 protected:
  // Asks and returns the answer once the queue ran.
  bool ask(AuthorizationOptions options) {
    std::optional<bool> granted;
    center.requestAuthorization(options,
                                [&](bool g, const std::optional<std::string>&) { granted = g; });
    EXPECT_FALSE(granted.has_value()) << "completion ran inside the call";
    queue.drain();
    EXPECT_TRUE(granted.has_value());
    return granted.value_or(false);
  }

  ManualQueue queue;
  std::shared_ptr<LinuxApplication> application = std::make_shared<LinuxApplication>();
  LinuxUserNotificationCenter center{queue.queue(), application};
};

TEST_F(UserNotificationCenterTest, FirstAnswerIsKeptAndSharedWithTheApplication) {
  center.setAuthorizationPolicy({.grant = true, .badgeAllowed = false});
  EXPECT_TRUE(ask(option::alert | option::sound | option::badge));
  const NotificationSettings granted = application->notificationSettings();
  EXPECT_EQ(granted.authorizationStatus, AuthorizationStatus::authorized);
  EXPECT_TRUE(granted.alertAllowed);
  EXPECT_FALSE(granted.badgeAllowed);

  // The user is not asked again: a changed policy does not matter.
  center.setAuthorizationPolicy({.grant = false});
  EXPECT_TRUE(ask(option::alert));
  EXPECT_EQ(application->notificationSettings(), granted);
  EXPECT_EQ(center.requestedAuthorizationOptions(), (std::vector<AuthorizationOptions>{7, 4}));

  std::optional<NotificationSettings> reported;
  center.getNotificationSettings([&](NotificationSettings s) { reported = s; });
  queue.drain();
  EXPECT_EQ(reported, granted);
}

TEST_F(UserNotificationCenterTest, ProvisionalGrantIsAskedAgainByAFullRequest) {
  const auto status = [&] { return application->notificationSettings().authorizationStatus; };
  EXPECT_TRUE(ask(option::alert | option::provisional));
  EXPECT_EQ(status(), AuthorizationStatus::provisional);
  EXPECT_TRUE(ask(option::alert | option::provisional));  // nothing new to ask
  EXPECT_EQ(status(), AuthorizationStatus::provisional);
  EXPECT_TRUE(ask(option::alert));
  EXPECT_EQ(status(), AuthorizationStatus::authorized);
}

TEST_F(UserNotificationCenterTest, CategoriesAndRequestsReplaceTheirNamesakes) {
  center.setNotificationCategories(
      {{.identifier = "a", .options = 1}, {.identifier = "b"}, {.identifier = "a", .options = 2}});
  std::vector<NotificationCategory> categories;
  center.getNotificationCategories([&](std::vector<NotificationCategory> c) { categories = c; });
  queue.drain();
  ASSERT_EQ(categories.size(), 2u);
  EXPECT_EQ(categories[0].identifier, "a");
  EXPECT_EQ(categories[0].options, 2u);

  NotificationRequest first{.identifier = "foreground", .content = {.title = "one"}};
  first.trigger = TimeIntervalNotificationTrigger{.timeInterval = 2};
  center.add(first);
  center.add({.identifier = "other"});
  bool added = false;
  center.add({.identifier = "foreground", .content = {.title = "two"}},
             [&](const std::optional<std::string>& e) { added = !e; });
  queue.drain();
  EXPECT_TRUE(added);
  const auto pending = center.pendingNotificationRequests();
  ASSERT_EQ(pending.size(), 2u);
  EXPECT_EQ(pending[1].identifier, "foreground");
  EXPECT_EQ(pending[1].content.title, "two");
}

class TapCounter final : public UserNotificationCenterDelegate {
 public:
  void willPresent(UserNotificationCenter&, const UserNotification&,
                   std::function<void(PresentationOptions)> completion) override {
    completion(presentation_option::alert);
  }
  void didReceive(UserNotificationCenter&, const NotificationResponse& response,
                  std::function<void()> completion) override {
    actions.push_back(response.actionIdentifier);
    completion();
  }
  std::vector<std::string> actions;
};

TEST_F(UserNotificationCenterTest, DelegateIsHeldWeakly) {
  auto delegate = std::make_shared<TapCounter>();
  center.setDelegate(delegate);
  bool completed = false;
  EXPECT_TRUE(center.respondToDelegate({.actionIdentifier = "b2"}, [&] { completed = true; }));
  EXPECT_TRUE(completed);
  EXPECT_EQ(delegate->actions, std::vector<std::string>{"b2"});

  delegate.reset();
  EXPECT_EQ(center.delegate(), nullptr);
  EXPECT_FALSE(center.presentToDelegate({}, [](PresentationOptions) {}));
}

TEST(NotificationAttachmentTest, NeedsAnExistingFileByAbsolutePathOrFileUrl) {
  tavrino::testing::TempDir dir;
  const auto file = dir.path() / "qiv_img_77.jpg";
  std::ofstream(file) << "jpeg";
  auto byPath = NotificationAttachment::make("qiv_img_77.jpg", file.string());
  ASSERT_TRUE(byPath.has_value());
  EXPECT_EQ(byPath->url, file.string());
  EXPECT_TRUE(NotificationAttachment::make("x", "file://" + file.string()).has_value());

  std::string error;
  EXPECT_FALSE(NotificationAttachment::make("x", (dir.path() / "none.jpg").string(), {}, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(NotificationAttachment::make("x", "qiv_img_77.jpg"));     // relative
  EXPECT_FALSE(NotificationAttachment::make("x", dir.path().string()));  // a directory
}

TEST(SystemVersionTest, ComparesMajorThenMinor) {
  LinuxSystemInfo info;
  EXPECT_TRUE(info.isOperatingSystemAtLeast(12));  // the default is recent
  struct Case {
    const char* version;
    int major;
    int minor;
    bool atLeast;
  };
  for (const Case& c :
       {Case{"10.3", 10, 3, true}, Case{"10.2.9", 10, 3, false}, Case{"10.10", 10, 3, true},
        Case{"9", 8, 0, true}, Case{"9", 10, 0, false}, Case{"12.0.1", 12, 0, true},
        Case{"11.4", 12, 0, false}, Case{"17", 10, 3, true}, Case{"", 8, 0, false},
        Case{"beta", 1, 0, false}, Case{"99999999999", 12, 0, false}}) {
    info.setSystemVersion(c.version);
    EXPECT_EQ(info.isOperatingSystemAtLeast(c.major, c.minor), c.atLeast)
        << c.version << " vs " << c.major << "." << c.minor;
  }
}

TEST(LinuxApplicationPushTest, RegistrationMarksRegisteredBeforeTheHandlerRuns) {
  LinuxApplication app;
  bool registeredInHandler = false;
  // The handler may call back into the application: it runs outside the lock.
  app.setRemoteNotificationRegistrationHandler(
      [&] { registeredInHandler = app.isRegisteredForRemoteNotifications(); });
  app.registerForRemoteNotifications();
  EXPECT_TRUE(registeredInHandler);
  EXPECT_EQ(app.remoteNotificationRegistrationCount(), 1);
}

}  // namespace
}  // namespace tavrino::platform
