#pragma once

// The reference platform's Screen. There is no display: the screen is the
// phone that SystemInfo describes (its native bounds and idiom), at a scale
// of 3 pixels per point, held portrait with a 47-point status bar, until the
// host (or a test) says otherwise. Turning the device posts the
// orientation-change notification.
//
// Thread-safety: every method, the setters included, may be called from any
// thread.

#include <memory>
#include <mutex>

#include "tavrino/export.hpp"
#include "tavrino/platform/notification_center.hpp"
#include "tavrino/platform/screen.hpp"
#include "tavrino/platform/system_info.hpp"

namespace tavrino::platform {

class TAVRINO_EXPORT LinuxScreen final : public Screen {
 public:
  // Reads the native bounds and idiom from systemInfo; posts orientation
  // changes to notifications (null: posts nothing).
  LinuxScreen(std::shared_ptr<SystemInfo> systemInfo,
              std::shared_ptr<NotificationCenter> notifications);

  // The native bounds divided by the scale, width and height swapped while
  // the device is held in a landscape orientation.
  ui::Rect bounds() override;
  ui::Rect nativeBounds() override;
  double scale() override;
  // Full width of bounds(), statusBarHeight() tall; zero while hidden.
  ui::Rect statusBarFrame() override;
  DeviceOrientation deviceOrientation() override;
  InterfaceIdiom userInterfaceIdiom() override;

  // Ignored unless positive and finite.
  void setScale(double scale);
  void setStatusBarHeight(double height);
  void setStatusBarHidden(bool hidden);
  // Records orientation and, when it differs from the current one, posts
  // deviceOrientationDidChangeNotification.
  void setDeviceOrientation(DeviceOrientation orientation);

 private:
  std::shared_ptr<SystemInfo> systemInfo_;
  std::shared_ptr<NotificationCenter> notifications_;
  std::mutex mu_;
  double scale_ = 3;
  double statusBarHeight_ = 47;
  bool statusBarHidden_ = false;
  DeviceOrientation orientation_ = DeviceOrientation::portrait;
};

}  // namespace tavrino::platform
