#pragma once

// The reference platform's UserNotificationCenter. There is no user to ask:
// a policy the host (or a test) sets answers requestAuthorization(), and the
// centre records what it was asked, the categories and the scheduled
// requests for the host to read.
//
// The settings the centre reports are the application's when it was made
// over a LinuxApplication (a decision shows in Application::
// notificationSettings() too), else its own.
//
// Thread-safety: every method may be called from any thread. Completions run
// through the callback queue given at construction, never inside the call.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tavrino/export.hpp"
#include "tavrino/platform/linux_application.hpp"
#include "tavrino/platform/user_notification_center.hpp"

namespace tavrino::platform {

// How the imagined user answers a request for permission.
struct AuthorizationPolicy {
  bool grant = true;
  // The presentation types a grant allows (a denial allows none).
  bool alertAllowed = true;
  bool badgeAllowed = true;
  bool soundAllowed = true;
  // When set, the request fails with this description and decides nothing.
  std::optional<std::string> error{};
};

class TAVRINO_EXPORT LinuxUserNotificationCenter final : public UserNotificationCenter {
 public:
  using CallbackQueue = std::function<void(std::function<void()>)>;

  // callbackQueue runs the completions (the platform's global queue);
  // application, when given, holds the settings.
  LinuxUserNotificationCenter(CallbackQueue callbackQueue,
                              std::shared_ptr<LinuxApplication> application = nullptr);

  void setDelegate(const std::shared_ptr<UserNotificationCenterDelegate>& delegate) override;
  std::shared_ptr<UserNotificationCenterDelegate> delegate() override;

  // The first request decides by the policy: granted gives the status
  // provisional when options hold the provisional option, else authorized,
  // with the policy's presentation types; denied gives denied and none.
  // Later requests answer with that decision without asking again, except
  // that a full request after a provisional grant asks anew.
  void requestAuthorization(AuthorizationOptions options,
                            std::function<void(bool granted, std::optional<std::string> error)>
                                completionHandler) override;
  void getNotificationSettings(
      std::function<void(NotificationSettings)> completionHandler) override;
  void setNotificationCategories(std::vector<NotificationCategory> categories) override;
  void getNotificationCategories(
      std::function<void(std::vector<NotificationCategory>)> completionHandler) override;
  void add(
      NotificationRequest request,
      std::function<void(std::optional<std::string> error)> completionHandler = nullptr) override;

  void setAuthorizationPolicy(AuthorizationPolicy policy);
  // Every options value requestAuthorization() was called with, oldest first.
  std::vector<AuthorizationOptions> requestedAuthorizationOptions();
  // The registered categories, in the order they were set.
  std::vector<NotificationCategory> notificationCategories();
  // The scheduled requests, in the order they were added.
  std::vector<NotificationRequest> pendingNotificationRequests();
  void removeAllPendingNotificationRequests();

  // Hands a notification or a response to the delegate on the calling
  // thread (the host's main loop). Returns false when there is no delegate;
  // the completion is then not called.
  bool presentToDelegate(const UserNotification& notification,
                         std::function<void(PresentationOptions)> completionHandler);
  bool respondToDelegate(const NotificationResponse& response,
                         std::function<void()> completionHandler);

 private:
  NotificationSettings settings();
  void storeSettings(const NotificationSettings& settings);

  CallbackQueue callbackQueue_;
  std::shared_ptr<LinuxApplication> application_;
  std::mutex mu_;
  std::weak_ptr<UserNotificationCenterDelegate> delegate_;
  AuthorizationPolicy policy_;
  NotificationSettings ownSettings_;
  std::vector<AuthorizationOptions> requestedOptions_;
  std::vector<NotificationCategory> categories_;
  std::vector<NotificationRequest> pending_;
};

}  // namespace tavrino::platform
