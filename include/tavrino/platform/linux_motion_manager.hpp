#pragma once

// The reference platform's accelerometer. A Linux machine has none: the host
// (or a test) feeds samples, which count only while updates are started.
//
// Thread-safety: every method may be called from any thread.

#include <mutex>

#include "tavrino/export.hpp"
#include "tavrino/platform/motion_manager.hpp"

namespace tavrino::platform {

class TAVRINO_EXPORT LinuxMotionManager final : public MotionManager {
 public:
  void startAccelerometerUpdates() override;
  void stopAccelerometerUpdates() override;
  bool isAccelerometerActive() override;
  std::optional<Acceleration> accelerometerData() override;

  // Records sample as the latest one; ignored while updates are stopped.
  void feed(const Acceleration& sample);

 private:
  std::mutex mu_;
  bool active_ = false;
  std::optional<Acceleration> latest_;
};

}  // namespace tavrino::platform
