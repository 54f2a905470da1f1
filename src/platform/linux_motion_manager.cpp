#include "tavrino/platform/linux_motion_manager.hpp"

namespace tavrino::platform {

void LinuxMotionManager::startAccelerometerUpdates() {
  std::lock_guard lock(mu_);
  active_ = true;
}

void LinuxMotionManager::stopAccelerometerUpdates() {
  std::lock_guard lock(mu_);
  active_ = false;
  latest_.reset();
}

bool LinuxMotionManager::isAccelerometerActive() {
  std::lock_guard lock(mu_);
  return active_;
}

std::optional<Acceleration> LinuxMotionManager::accelerometerData() {
  std::lock_guard lock(mu_);
  return latest_;
}

void LinuxMotionManager::feed(const Acceleration& sample) {
  std::lock_guard lock(mu_);
  if (active_) latest_ = sample;
}

}  // namespace tavrino::platform
