#pragma once

// The desktop's application and screen: URLs open through the default
// handler the desktop registered for their scheme; the screen the SDK lays
// banners on is the host window's content, at its monitor's scale.

#include <memory>
#include <mutex>

#include "tavrino/platform/linux_application.hpp"
#include "tavrino/platform/screen.hpp"

namespace tavrino::gtk {

class DesktopApplication final : public platform::Application {
 public:
  explicit DesktopApplication(std::shared_ptr<platform::LinuxApplication> state)
      : state_(std::move(state)) {}

  platform::LinuxApplication& state() { return *state_; }

  // Records the URL, then launches the handler from the main loop; a URL no
  // handler opens is logged.
  void openURL(std::string_view url) override;

  bool isRegisteredForRemoteNotifications() override {
    return state_->isRegisteredForRemoteNotifications();
  }
  platform::NotificationSettings notificationSettings() override {
    return state_->notificationSettings();
  }
  std::shared_ptr<ui::Window> keyWindow() override { return state_->keyWindow(); }
  platform::ApplicationState applicationState() override { return state_->applicationState(); }
  std::optional<std::string> alternateIconName() override { return state_->alternateIconName(); }
  bool supportsAlternateIcons() override { return false; }
  void setAlternateIconName(std::optional<std::string>) override {}
  void registerForRemoteNotifications() override { state_->registerForRemoteNotifications(); }
  void registerUserNotificationSettings(
      const platform::UserNotificationSettingsRequest& request) override {
    state_->registerUserNotificationSettings(request);
  }
  void scheduleLocalNotification(const platform::LocalNotification& notification) override {
    state_->scheduleLocalNotification(notification);
  }

 private:
  std::shared_ptr<platform::LinuxApplication> state_;
};

class DesktopScreen final : public platform::Screen {
 public:
  // Stands in until a host window reports: the reference screen.
  explicit DesktopScreen(platform::Screen& fallback) : fallback_(fallback) {}

  // The host window's content size in points, its monitor in points, and
  // the monitor's scale. Called on the main thread when they change.
  void update(ui::Size content, ui::Size monitor, double scale);

  ui::Rect bounds() override;
  ui::Rect nativeBounds() override;
  double scale() override;
  // A desktop window has no status bar over its content.
  ui::Rect statusBarFrame() override { return {}; }
  platform::DeviceOrientation deviceOrientation() override;
  platform::InterfaceIdiom userInterfaceIdiom() override { return fallback_.userInterfaceIdiom(); }

 private:
  platform::Screen& fallback_;
  std::mutex mu_;
  bool known_ = false;
  ui::Size content_, monitor_;
  double scale_ = 1;
};

}  // namespace tavrino::gtk
