#pragma once

// Platform: every host service the SDK uses, each behind its own interface.
// The SDK reaches them only through platform::current(). A host on another
// system installs its own implementation; tests install the Linux one over a
// temporary directory and a manual clock.
//
// Thread-safety: the services say what they allow. install() must not race
// with SDK calls in flight: call it at start-up (or between tests).

#include <memory>

#include "tavrino/export.hpp"
#include "tavrino/platform/application.hpp"
#include "tavrino/platform/clock.hpp"
#include "tavrino/platform/dispatch.hpp"
#include "tavrino/platform/fonts.hpp"
#include "tavrino/platform/html_parser.hpp"
#include "tavrino/platform/image_decoder.hpp"
#include "tavrino/platform/log.hpp"
#include "tavrino/platform/motion_manager.hpp"
#include "tavrino/platform/notification_center.hpp"
#include "tavrino/platform/screen.hpp"
#include "tavrino/platform/system_info.hpp"
#include "tavrino/platform/url_session.hpp"
#include "tavrino/platform/user_defaults.hpp"
#include "tavrino/platform/user_notification_center.hpp"
#include "tavrino/platform/web_engine.hpp"

namespace tavrino::platform {

class TAVRINO_EXPORT Platform {
 public:
  virtual ~Platform();

  virtual Clock& clock() = 0;
  virtual Log& log() = 0;
  virtual Dispatch& dispatch() = 0;
  virtual UserDefaults& userDefaults() = 0;
  virtual SystemInfo& systemInfo() = 0;
  virtual Application& application() = 0;
  virtual URLSession& urlSession() = 0;
  virtual MotionManager& motionManager() = 0;
  virtual Screen& screen() = 0;
  virtual NotificationCenter& notificationCenter() = 0;
  virtual UserNotificationCenter& userNotificationCenter() = 0;
  virtual Fonts& fonts() = 0;
  virtual WebEngine& webEngine() = 0;
  virtual ImageDecoder& imageDecoder() = 0;
  virtual HTMLParser& htmlParser() = 0;

  // Finishes the platform's background work (global queues, transfers in
  // flight) and refuses more, while every service is still intact.
  // install() calls it on the outgoing platform before destroying it.
  virtual void shutdown() {}
};

// Forwards every call to another platform. Subclass it to replace one
// service and keep the rest (a test that captures the log, say).
class TAVRINO_EXPORT PlatformWrapper : public Platform {
 public:
  explicit PlatformWrapper(std::unique_ptr<Platform> target) : target_(std::move(target)) {}

  Platform& target() { return *target_; }

  Clock& clock() override { return target_->clock(); }
  Log& log() override { return target_->log(); }
  Dispatch& dispatch() override { return target_->dispatch(); }
  UserDefaults& userDefaults() override { return target_->userDefaults(); }
  SystemInfo& systemInfo() override { return target_->systemInfo(); }
  Application& application() override { return target_->application(); }
  URLSession& urlSession() override { return target_->urlSession(); }
  MotionManager& motionManager() override { return target_->motionManager(); }
  Screen& screen() override { return target_->screen(); }
  NotificationCenter& notificationCenter() override { return target_->notificationCenter(); }
  UserNotificationCenter& userNotificationCenter() override {
    return target_->userNotificationCenter();
  }
  Fonts& fonts() override { return target_->fonts(); }
  WebEngine& webEngine() override { return target_->webEngine(); }
  ImageDecoder& imageDecoder() override { return target_->imageDecoder(); }
  HTMLParser& htmlParser() override { return target_->htmlParser(); }
  void shutdown() override { target_->shutdown(); }

 private:
  std::unique_ptr<Platform> target_;
};

// Returns the installed platform, installing makeDefaultPlatform() on first
// use when none was installed.
TAVRINO_EXPORT Platform& current();

// Replaces the installed platform. The previous one is shut down while it is
// still the current one (its background work still sees it), then destroyed.
TAVRINO_EXPORT void install(std::unique_ptr<Platform> platform);

// Supplied by the platform library the host links (the Linux one builds
// makeLinuxPlatform() with default options).
std::unique_ptr<Platform> makeDefaultPlatform();

}  // namespace tavrino::platform
