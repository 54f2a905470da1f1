#pragma once

// The reference platform: SQLite user defaults, a thread-pool dispatcher,
// standard error and output for the log.

#include <filesystem>
#include <memory>

#include "tavrino/export.hpp"
#include "tavrino/platform/linux_application.hpp"
#include "tavrino/platform/linux_motion_manager.hpp"
#include "tavrino/platform/linux_system_info.hpp"
#include "tavrino/platform/platform.hpp"

namespace tavrino::platform {

struct LinuxPlatformOptions {
  // Where the user-defaults suites live. Empty: $TAVRINO_DATA_DIR, else
  // $XDG_DATA_HOME/tavrino, else ~/.local/share/tavrino.
  std::filesystem::path dataDirectory;
  // The time base. Null: the system clock.
  std::shared_ptr<Clock> clock = nullptr;
  // The device description. Null: a LinuxSystemInfo with its defaults.
  std::shared_ptr<SystemInfo> systemInfo = nullptr;
  // The application's push state. Null: a fresh LinuxApplication.
  std::shared_ptr<Application> application = nullptr;
  // The accelerometer. Null: a LinuxMotionManager.
  std::shared_ptr<MotionManager> motionManager = nullptr;
};

// Returns the data directory the options resolve to.
TAVRINO_EXPORT std::filesystem::path resolveDataDirectory(const LinuxPlatformOptions& options);

TAVRINO_EXPORT std::unique_ptr<Platform> makeLinuxPlatform(LinuxPlatformOptions options = {});

}  // namespace tavrino::platform
