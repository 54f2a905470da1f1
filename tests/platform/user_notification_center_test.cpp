#include <gtest/gtest.h>

#include "tavrino/platform/linux_user_notification_center.hpp"

namespace tavrino::platform {
namespace {

namespace option = authorization_option;

class UserNotificationCenterTest : public ::testing::Test, public UserNotificationCenterDelegate {
 protected:
  // Asks and returns the answer once the queue ran: completions never run
  // inside the call.
  bool ask(AuthorizationOptions options) {
    std::optional<bool> granted;
    center.requestAuthorization(options,
                                [&](bool g, const std::optional<std::string>&) { granted = g; });
    EXPECT_FALSE(granted.has_value()) << "completion ran inside the call";
    drain();
    return granted.value();
  }
  void drain() {
    while (!tasks.empty())
      for (auto& task : std::exchange(tasks, {})) task();
  }
  void willPresent(UserNotificationCenter&, const UserNotification&,
                   std::function<void(PresentationOptions)> completion) override {
    completion(presentation_option::alert);
  }
  void didReceive(UserNotificationCenter&, const NotificationResponse& response,
                  std::function<void()> completion) override {
    actions.push_back(response.actionIdentifier);
    completion();
  }

  std::vector<std::function<void()>> tasks;
  std::vector<std::string> actions;
  std::shared_ptr<LinuxApplication> application = std::make_shared<LinuxApplication>();
  LinuxUserNotificationCenter center{[this](auto task) { tasks.push_back(std::move(task)); },
                                     application};
};

TEST_F(UserNotificationCenterTest, FirstAnswerIsKeptAndSharedWithTheApplication) {
  center.setAuthorizationPolicy({.grant = true, .badgeAllowed = false});
  EXPECT_TRUE(ask(option::alert | option::sound | option::badge));
  const NotificationSettings granted{AuthorizationStatus::authorized, true, false, true};
  EXPECT_EQ(application->notificationSettings(), granted);
  // The user is not asked again: a changed policy does not matter.
  center.setAuthorizationPolicy({.grant = false});
  EXPECT_TRUE(ask(option::alert));
  EXPECT_EQ(application->notificationSettings(), granted);
  EXPECT_EQ(center.requestedAuthorizationOptions(), (std::vector<AuthorizationOptions>{7, 4}));
}

// Requests replace their namesakes; the delegate is held weakly.
TEST_F(UserNotificationCenterTest, NamesakesAreReplacedAndTheDelegateIsHeldWeakly) {
  center.add({.identifier = "foreground", .content = {.title = "one"}});
  center.add({.identifier = "other"});
  center.add({.identifier = "foreground", .content = {.title = "two"}});
  std::vector<std::string> pending;
  for (const auto& request : center.pendingNotificationRequests())
    pending.push_back(request.identifier + ":" + request.content.title);
  EXPECT_EQ(pending, (std::vector<std::string>{"other:", "foreground:two"}));

  auto self = std::shared_ptr<UserNotificationCenterDelegate>(this, [](auto*) {});
  center.setDelegate(self);
  EXPECT_TRUE(
      center.respondToDelegate({.actionIdentifier = "b2"}, [&] { actions.push_back("done"); }));
  EXPECT_EQ(actions, (std::vector<std::string>{"b2", "done"}));
  self.reset();
  EXPECT_FALSE(center.presentToDelegate({}, [](PresentationOptions) {}));
}

// The registration handler may call back into the application: it runs
// outside the lock.
TEST(LinuxApplicationTest, RegistersBeforeTheHandler) {
  LinuxApplication app;
  bool registeredInHandler = false;
  app.setRemoteNotificationRegistrationHandler(
      [&] { registeredInHandler = app.isRegisteredForRemoteNotifications(); });
  app.registerForRemoteNotifications();
  EXPECT_EQ(std::pair(registeredInHandler, app.remoteNotificationRegistrationCount()),
            std::pair(true, 1));
}

}  // namespace
}  // namespace tavrino::platform
