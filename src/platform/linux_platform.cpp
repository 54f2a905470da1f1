#include "tavrino/platform/linux.hpp"

#include <cstdlib>

#include "platform/curl_url_session.hpp"
#include "platform/linux_dispatch.hpp"
#include "platform/linux_log.hpp"
#include "platform/linux_notification_center.hpp"
#include "platform/sqlite_user_defaults.hpp"

namespace tavrino::platform {
namespace {

class LinuxPlatform final : public Platform {
 public:
  explicit LinuxPlatform(LinuxPlatformOptions options)
      : clock_(options.clock ? options.clock : std::make_shared<SystemClock>()),
        log_(std::make_unique<LinuxLog>(clock_)),
        dispatch_(std::make_unique<LinuxDispatch>(clock_)),
        userDefaults_(makeSqliteUserDefaults(resolveDataDirectory(options), *log_)),
        urlSession_(makeCurlURLSession(*log_)),
        systemInfo_(options.systemInfo ? options.systemInfo : std::make_shared<LinuxSystemInfo>()),
        application_(options.application ? options.application
                                         : std::make_shared<LinuxApplication>()),
        motionManager_(options.motionManager ? options.motionManager
                                             : std::make_shared<LinuxMotionManager>()),
        notificationCenter_(makeLinuxNotificationCenter(
            [dispatch = dispatch_.get()](Task task) { dispatch->mainAsync(std::move(task)); })),
        screen_(std::make_shared<LinuxScreen>(systemInfo_, notificationCenter_)),
        fonts_(options.fonts ? options.fonts : std::make_shared<LinuxFonts>()),
        webEngine_(options.webEngine ? options.webEngine : std::make_shared<LinuxWebEngine>()),
        imageDecoder_(options.imageDecoder ? options.imageDecoder
                                           : std::make_shared<LinuxImageDecoder>()),
        htmlParser_(options.htmlParser ? options.htmlParser : std::make_shared<LinuxHTMLParser>()),
        userNotificationCenter_(
            options.userNotificationCenter
                ? options.userNotificationCenter
                : std::make_shared<LinuxUserNotificationCenter>(
                      [dispatch = dispatch_.get()](Task task) {
                        dispatch->globalAsync(QualityOfService::defaultQoS, std::move(task));
                      },
                      std::dynamic_pointer_cast<LinuxApplication>(application_))) {}

  ~LinuxPlatform() override { shutdown(); }

  void shutdown() override {
    // Background work may still use every other service: finish it first,
    // then the transfers in flight (their completions may post to the loop).
    // A blocking load on a hung server would hold the first step for its
    // whole time-out: those fail now.
    abortBlockingLoads(*urlSession_);
    dispatch_->shutdown();
    urlSession_->shutdown();
  }

  Clock& clock() override { return *clock_; }
  Log& log() override { return *log_; }
  Dispatch& dispatch() override { return *dispatch_; }
  UserDefaults& userDefaults() override { return *userDefaults_; }
  URLSession& urlSession() override { return *urlSession_; }
  SystemInfo& systemInfo() override { return *systemInfo_; }
  Application& application() override { return *application_; }
  MotionManager& motionManager() override { return *motionManager_; }
  Screen& screen() override { return *screen_; }
  NotificationCenter& notificationCenter() override { return *notificationCenter_; }
  UserNotificationCenter& userNotificationCenter() override { return *userNotificationCenter_; }
  Fonts& fonts() override { return *fonts_; }
  WebEngine& webEngine() override { return *webEngine_; }
  ImageDecoder& imageDecoder() override { return *imageDecoder_; }
  HTMLParser& htmlParser() override { return *htmlParser_; }

 private:
  std::shared_ptr<Clock> clock_;
  std::unique_ptr<Log> log_;
  std::unique_ptr<LinuxDispatch> dispatch_;
  std::unique_ptr<UserDefaults> userDefaults_;
  std::unique_ptr<URLSession> urlSession_;
  std::shared_ptr<SystemInfo> systemInfo_;
  std::shared_ptr<Application> application_;
  std::shared_ptr<MotionManager> motionManager_;
  // Delivers through dispatch_, declared earlier and so destroyed later.
  std::shared_ptr<NotificationCenter> notificationCenter_;
  std::shared_ptr<LinuxScreen> screen_;
  std::shared_ptr<Fonts> fonts_;
  std::shared_ptr<WebEngine> webEngine_;
  std::shared_ptr<ImageDecoder> imageDecoder_;
  std::shared_ptr<HTMLParser> htmlParser_;
  std::shared_ptr<UserNotificationCenter> userNotificationCenter_;
};

// A relative directory from the environment would move with the host's
// working directory (and is invalid for the XDG variables): it is ignored.
std::filesystem::path fromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return {};
  std::filesystem::path path(value);
  return path.is_absolute() ? path : std::filesystem::path();
}

}  // namespace

std::filesystem::path resolveDataDirectory(const LinuxPlatformOptions& options) {
  if (!options.dataDirectory.empty()) return options.dataDirectory;
  if (auto dir = fromEnvironment("TAVRINO_DATA_DIR"); !dir.empty()) return dir;
  if (auto dir = fromEnvironment("XDG_DATA_HOME"); !dir.empty()) return dir / "tavrino";
  if (auto home = fromEnvironment("HOME"); !home.empty()) {
    return home / ".local" / "share" / "tavrino";
  }
  return std::filesystem::temp_directory_path() / "tavrino";
}

std::unique_ptr<Platform> makeLinuxPlatform(LinuxPlatformOptions options) {
  return std::make_unique<LinuxPlatform>(std::move(options));
}

std::unique_ptr<Platform> makeDefaultPlatform() {
  return makeLinuxPlatform();
}

}  // namespace tavrino::platform
