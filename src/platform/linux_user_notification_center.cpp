#include "tavrino/platform/linux_user_notification_center.hpp"

#include <algorithm>

namespace tavrino::platform {
namespace {

bool isGrant(AuthorizationStatus status) {
  return status == AuthorizationStatus::authorized || status == AuthorizationStatus::provisional ||
         status == AuthorizationStatus::ephemeral;
}

}  // namespace

LinuxUserNotificationCenter::LinuxUserNotificationCenter(
    CallbackQueue callbackQueue, std::shared_ptr<LinuxApplication> application)
    : callbackQueue_(std::move(callbackQueue)), application_(std::move(application)) {}

void LinuxUserNotificationCenter::setDelegate(
    const std::shared_ptr<UserNotificationCenterDelegate>& delegate) {
  std::lock_guard lock(mu_);
  delegate_ = delegate;
}

std::shared_ptr<UserNotificationCenterDelegate> LinuxUserNotificationCenter::delegate() {
  std::lock_guard lock(mu_);
  return delegate_.lock();
}

NotificationSettings LinuxUserNotificationCenter::settings() {
  if (application_) return application_->notificationSettings();
  std::lock_guard lock(mu_);
  return ownSettings_;
}

void LinuxUserNotificationCenter::storeSettings(const NotificationSettings& settings) {
  if (application_) {
    application_->setNotificationSettings(settings);
    return;
  }
  std::lock_guard lock(mu_);
  ownSettings_ = settings;
}

void LinuxUserNotificationCenter::requestAuthorization(
    AuthorizationOptions options,
    std::function<void(bool granted, std::optional<std::string> error)> completionHandler) {
  AuthorizationPolicy policy;
  {
    std::lock_guard lock(mu_);
    requestedOptions_.push_back(options);
    policy = policy_;
  }
  // Decided and stored before the completion runs, so a settings query from
  // the completion sees the decision.
  bool granted = false;
  std::optional<std::string> error;
  const NotificationSettings current = settings();
  const bool provisionalAsked = (options & authorization_option::provisional) != 0;
  const bool asksAnew =
      current.authorizationStatus == AuthorizationStatus::notDetermined ||
      (current.authorizationStatus == AuthorizationStatus::provisional && !provisionalAsked);
  if (!asksAnew) {
    granted = isGrant(current.authorizationStatus);
  } else if (policy.error) {
    error = policy.error;
  } else {
    NotificationSettings decided;
    if (policy.grant) {
      decided.authorizationStatus =
          provisionalAsked ? AuthorizationStatus::provisional : AuthorizationStatus::authorized;
      decided.alertAllowed = policy.alertAllowed;
      decided.badgeAllowed = policy.badgeAllowed;
      decided.soundAllowed = policy.soundAllowed;
    } else {
      decided.authorizationStatus = AuthorizationStatus::denied;
    }
    storeSettings(decided);
    granted = policy.grant;
  }
  if (!completionHandler) return;
  callbackQueue_([completionHandler = std::move(completionHandler), granted,
                  error = std::move(error)]() mutable { completionHandler(granted, error); });
}

void LinuxUserNotificationCenter::getNotificationSettings(
    std::function<void(NotificationSettings)> completionHandler) {
  if (!completionHandler) return;
  callbackQueue_([completionHandler = std::move(completionHandler), current = settings()] {
    completionHandler(current);
  });
}

void LinuxUserNotificationCenter::setNotificationCategories(
    std::vector<NotificationCategory> categories) {
  // Of several with one identifier the last counts, in the place of the first.
  std::vector<NotificationCategory> unique;
  for (auto& category : categories) {
    auto same = std::find_if(unique.begin(), unique.end(), [&](const NotificationCategory& c) {
      return c.identifier == category.identifier;
    });
    if (same != unique.end()) {
      *same = std::move(category);
    } else {
      unique.push_back(std::move(category));
    }
  }
  std::lock_guard lock(mu_);
  categories_ = std::move(unique);
}

void LinuxUserNotificationCenter::getNotificationCategories(
    std::function<void(std::vector<NotificationCategory>)> completionHandler) {
  if (!completionHandler) return;
  callbackQueue_([completionHandler = std::move(completionHandler),
                  categories = notificationCategories()]() mutable {
    completionHandler(std::move(categories));
  });
}

void LinuxUserNotificationCenter::add(
    NotificationRequest request,
    std::function<void(std::optional<std::string> error)> completionHandler) {
  {
    std::lock_guard lock(mu_);
    auto same = std::find_if(pending_.begin(), pending_.end(), [&](const NotificationRequest& r) {
      return r.identifier == request.identifier;
    });
    if (same != pending_.end()) pending_.erase(same);
    pending_.push_back(std::move(request));
  }
  if (!completionHandler) return;
  callbackQueue_(
      [completionHandler = std::move(completionHandler)] { completionHandler(std::nullopt); });
}

void LinuxUserNotificationCenter::setAuthorizationPolicy(AuthorizationPolicy policy) {
  std::lock_guard lock(mu_);
  policy_ = std::move(policy);
}

std::vector<AuthorizationOptions> LinuxUserNotificationCenter::requestedAuthorizationOptions() {
  std::lock_guard lock(mu_);
  return requestedOptions_;
}

std::vector<NotificationCategory> LinuxUserNotificationCenter::notificationCategories() {
  std::lock_guard lock(mu_);
  return categories_;
}

std::vector<NotificationRequest> LinuxUserNotificationCenter::pendingNotificationRequests() {
  std::lock_guard lock(mu_);
  return pending_;
}

void LinuxUserNotificationCenter::removeAllPendingNotificationRequests() {
  std::lock_guard lock(mu_);
  pending_.clear();
}

bool LinuxUserNotificationCenter::presentToDelegate(
    const UserNotification& notification,
    std::function<void(PresentationOptions)> completionHandler) {
  const auto target = delegate();
  if (!target) return false;
  target->willPresent(*this, notification, std::move(completionHandler));
  return true;
}

bool LinuxUserNotificationCenter::respondToDelegate(const NotificationResponse& response,
                                                    std::function<void()> completionHandler) {
  const auto target = delegate();
  if (!target) return false;
  target->didReceive(*this, response, std::move(completionHandler));
  return true;
}

}  // namespace tavrino::platform
