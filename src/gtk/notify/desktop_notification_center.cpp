#include "tavrino/gtk/desktop_notification_center.hpp"

#include "gtk/notify/desktop_notifications.hpp"

namespace tavrino::gtk {

std::shared_ptr<DesktopNotificationCenter> DesktopNotificationCenter::make(
    platform::Platform& platform, DesktopNotificationOptions options) {
  std::shared_ptr<DesktopNotificationCenter> center(new DesktopNotificationCenter());
  center->impl_ = std::make_unique<DesktopNotifications>(platform, std::move(options), center);
  return center;
}

DesktopNotificationCenter::~DesktopNotificationCenter() = default;

void DesktopNotificationCenter::setDelegate(
    const std::shared_ptr<platform::UserNotificationCenterDelegate>& delegate) {
  impl_->setDelegate(delegate);
}

std::shared_ptr<platform::UserNotificationCenterDelegate> DesktopNotificationCenter::delegate() {
  return impl_->delegate();
}

void DesktopNotificationCenter::requestAuthorization(
    platform::AuthorizationOptions options,
    std::function<void(bool granted, std::optional<std::string> error)> completionHandler) {
  impl_->requestAuthorization(options, std::move(completionHandler));
}

void DesktopNotificationCenter::getNotificationSettings(
    std::function<void(platform::NotificationSettings)> completionHandler) {
  impl_->getNotificationSettings(std::move(completionHandler));
}

void DesktopNotificationCenter::setNotificationCategories(
    std::vector<platform::NotificationCategory> categories) {
  impl_->setNotificationCategories(std::move(categories));
}

void DesktopNotificationCenter::getNotificationCategories(
    std::function<void(std::vector<platform::NotificationCategory>)> completionHandler) {
  if (!completionHandler) return;
  impl_->onGlobalQueue([completionHandler = std::move(completionHandler),
                        categories = impl_->notificationCategories()]() mutable {
    completionHandler(std::move(categories));
  });
}

void DesktopNotificationCenter::add(
    platform::NotificationRequest request,
    std::function<void(std::optional<std::string> error)> completionHandler) {
  impl_->add(std::move(request), std::move(completionHandler));
}

void DesktopNotificationCenter::deliver(
    platform::NotificationRequest request,
    std::function<void(std::optional<std::string> error)> completionHandler) {
  impl_->deliver(std::move(request), std::move(completionHandler));
}

void DesktopNotificationCenter::stop() {
  impl_->stop();
}

namespace {

class DesktopNotificationPlatform final : public platform::PlatformWrapper {
 public:
  DesktopNotificationPlatform(std::unique_ptr<platform::Platform> target,
                              DesktopNotificationOptions options)
      : PlatformWrapper(std::move(target)),
        center_(DesktopNotificationCenter::make(this->target(), std::move(options))) {}
  ~DesktopNotificationPlatform() override { center_->stop(); }

  platform::UserNotificationCenter& userNotificationCenter() override { return *center_; }
  void shutdown() override {
    // The bus thread logs through the installed platform and posts to the
    // queues: it ends first.
    center_->stop();
    PlatformWrapper::shutdown();
  }

 private:
  std::shared_ptr<DesktopNotificationCenter> center_;
};

}  // namespace

std::unique_ptr<platform::Platform> withDesktopNotifications(
    std::unique_ptr<platform::Platform> platform, DesktopNotificationOptions options) {
  return std::make_unique<DesktopNotificationPlatform>(std::move(platform), std::move(options));
}

}  // namespace tavrino::gtk
