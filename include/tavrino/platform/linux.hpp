#pragma once

// The reference platform: SQLite user defaults, a thread-pool dispatcher,
// standard error and output for the log.

#include <filesystem>
#include <memory>

#include "tavrino/export.hpp"
#include "tavrino/platform/linux_application.hpp"
#include "tavrino/platform/linux_fonts.hpp"
#include "tavrino/platform/linux_html_parser.hpp"
#include "tavrino/platform/linux_image_decoder.hpp"
#include "tavrino/platform/linux_motion_manager.hpp"
#include "tavrino/platform/linux_screen.hpp"
#include "tavrino/platform/linux_system_info.hpp"
#include "tavrino/platform/linux_user_notification_center.hpp"
#include "tavrino/platform/linux_web_engine.hpp"
#include "tavrino/platform/platform.hpp"

namespace tavrino::platform {

struct LinuxPlatformOptions {
  // Where the user-defaults suites live. Empty: $TAVRINO_DATA_DIR, else
  // $XDG_DATA_HOME/tavrino, else ~/.local/share/tavrino (variables holding a
  // relative path are ignored).
  std::filesystem::path dataDirectory;
  // The time base. Null: the system clock.
  std::shared_ptr<Clock> clock = nullptr;
  // The device description. Null: a LinuxSystemInfo with its defaults.
  std::shared_ptr<SystemInfo> systemInfo = nullptr;
  // The application's push state. Null: a fresh LinuxApplication.
  std::shared_ptr<Application> application = nullptr;
  // The accelerometer. Null: a LinuxMotionManager.
  std::shared_ptr<MotionManager> motionManager = nullptr;
  // Text measurement. Null: a LinuxFonts over the default directories.
  std::shared_ptr<Fonts> fonts = nullptr;
  // The engine behind web views. Null: a LinuxWebEngine.
  std::shared_ptr<WebEngine> webEngine = nullptr;
  // Makes images from downloaded bytes. Null: a LinuxImageDecoder.
  std::shared_ptr<ImageDecoder> imageDecoder = nullptr;
  // Reads the HTML of texts. Null: a LinuxHTMLParser.
  std::shared_ptr<HTMLParser> htmlParser = nullptr;
  // The user-notification centre. Null: a LinuxUserNotificationCenter whose
  // completions run on the global queues, holding its settings in the
  // application when that is a LinuxApplication.
  std::shared_ptr<UserNotificationCenter> userNotificationCenter = nullptr;
  // The screen and the notification centre are made by the platform: the
  // screen is a LinuxScreen over the system info, posting to the platform's
  // notification centre, which delivers on the platform's main loop. Reach
  // them through Platform::screen() and Platform::notificationCenter().
};

// Returns the data directory the options resolve to.
TAVRINO_EXPORT std::filesystem::path resolveDataDirectory(const LinuxPlatformOptions& options);

TAVRINO_EXPORT std::unique_ptr<Platform> makeLinuxPlatform(LinuxPlatformOptions options = {});

}  // namespace tavrino::platform
