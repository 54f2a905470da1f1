#include "tavrino/platform/linux_screen.hpp"

#include <cmath>
#include <utility>

namespace tavrino::platform {
namespace {

bool isLandscape(DeviceOrientation o) {
  return o == DeviceOrientation::landscapeLeft || o == DeviceOrientation::landscapeRight;
}

}  // namespace

LinuxScreen::LinuxScreen(std::shared_ptr<SystemInfo> systemInfo,
                         std::shared_ptr<NotificationCenter> notifications)
    : systemInfo_(std::move(systemInfo)), notifications_(std::move(notifications)) {}

ui::Rect LinuxScreen::nativeBounds() {
  const auto size = systemInfo_ ? systemInfo_->screenNativeBounds() : ScreenSize{};
  return ui::Rect::make(0, 0, size.width, size.height);
}

ui::Rect LinuxScreen::bounds() {
  const auto native = nativeBounds();
  std::lock_guard lock(mu_);
  const double w = native.width() / scale_, h = native.height() / scale_;
  return isLandscape(orientation_) ? ui::Rect::make(0, 0, h, w) : ui::Rect::make(0, 0, w, h);
}

double LinuxScreen::scale() {
  std::lock_guard lock(mu_);
  return scale_;
}

ui::Rect LinuxScreen::statusBarFrame() {
  const auto width = bounds().width();
  std::lock_guard lock(mu_);
  return statusBarHidden_ ? ui::Rect{} : ui::Rect::make(0, 0, width, statusBarHeight_);
}

DeviceOrientation LinuxScreen::deviceOrientation() {
  std::lock_guard lock(mu_);
  return orientation_;
}

InterfaceIdiom LinuxScreen::userInterfaceIdiom() {
  return systemInfo_ ? systemInfo_->interfaceIdiom() : InterfaceIdiom::phone;
}

void LinuxScreen::setScale(double scale) {
  if (!std::isfinite(scale) || scale <= 0) return;
  std::lock_guard lock(mu_);
  scale_ = scale;
}

void LinuxScreen::setStatusBarHeight(double height) {
  if (!std::isfinite(height) || height < 0) return;
  std::lock_guard lock(mu_);
  statusBarHeight_ = height;
}

void LinuxScreen::setStatusBarHidden(bool hidden) {
  std::lock_guard lock(mu_);
  statusBarHidden_ = hidden;
}

void LinuxScreen::setDeviceOrientation(DeviceOrientation orientation) {
  {
    std::lock_guard lock(mu_);
    if (orientation == orientation_) return;
    orientation_ = orientation;
  }
  if (notifications_)
    notifications_->post({std::string(deviceOrientationDidChangeNotification), {}});
}

}  // namespace tavrino::platform
