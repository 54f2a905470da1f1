#pragma once

// MotionManager: the device's accelerometer. The SDK polls the latest sample
// (the shake trigger) rather than receiving callbacks.
//
// Thread-safety: every method may be called from any thread.

#include <optional>

#include "tavrino/export.hpp"

namespace tavrino::platform {

// Acceleration along each axis, in g.
struct Acceleration {
  double x = 0;
  double y = 0;
  double z = 0;
};

class TAVRINO_EXPORT MotionManager {
 public:
  virtual ~MotionManager();

  virtual void startAccelerometerUpdates() = 0;
  virtual void stopAccelerometerUpdates() = 0;
  virtual bool isAccelerometerActive() = 0;
  // The latest sample since updates started, or nothing.
  virtual std::optional<Acceleration> accelerometerData() = 0;
};

}  // namespace tavrino::platform
