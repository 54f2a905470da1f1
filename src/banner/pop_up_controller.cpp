// The banner controller's life: closing, following the keyboard and the
// device's orientation.

#include "tavrino/banner/pop_up_controller.hpp"

#include <chrono>

#include "core/shared_configuration.hpp"
#include "tavrino/banner/banner_document.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"

namespace tavrino {

popUpController::popUpController() : ui::ViewController("popUpController") {
  auto& platform = platform::current();
  myTimer = std::make_shared<platform::Timer>();
  myTimer->invalidate();
  orientation = static_cast<int>(platform.screen().deviceOrientation());
  tmptime = platform.clock().epochSeconds();
}

popUpController::~popUpController() = default;

std::string popUpController::createHTMLContent(const Value& params) {
  return banner::createHTMLContent(params);
}

namespace {

// A closed banner is done: its host lets go of it, so that a screen that
// stays through many page views does not gather every banner it showed. Not
// at once: the caller may still be inside the banner's methods. A banner
// whose in-app browser is open stays until the host goes.
void releaseFromHost(popUpController& banner) {
  std::weak_ptr<ui::ViewController> weak = banner.weak_from_this();
  platform::current().dispatch().mainAsync([weak] {
    const auto self = std::static_pointer_cast<popUpController>(weak.lock());
    if (self && !self->inAppBrowser) self->removeFromParent();
  });
}

}  // namespace

void popUpController::close() {
  closecounter += 1;
  view()->removeFromSuperview();
  releaseFromHost(*this);
}

void popUpController::action(ui::Button&) {
  close();
}

void popUpController::targetCoc() {
  close();
}

void popUpController::viewDidLoad() {
  if (loaded_) return;
  loaded_ = true;
  std::weak_ptr<ViewController> weak = weak_from_this();
  auto& notifications = platform::current().notificationCenter();
  keyboardObservation_ = notifications.addObserver(
      std::string(platform::keyboardWillChangeFrameNotification),
      [weak](const platform::Notification& notification) {
        if (auto self = std::static_pointer_cast<popUpController>(weak.lock())) {
          self->keyboardNotification(notification);
        }
      });
  orientationObservation_ = notifications.addObserver(
      std::string(platform::deviceOrientationDidChangeNotification),
      [weak](const platform::Notification& notification) {
        if (auto self = std::static_pointer_cast<popUpController>(weak.lock())) {
          self->orientationChanged(notification);
        }
      });
}

void popUpController::viewWillDisappear(bool) {}

void popUpController::updateSizes() {}

// An HTML strip that stays on outside taps sits on the keyboard. A
// notification without the keyboard's frame says nothing about where it is.
void popUpController::keyboardNotification(const platform::Notification& notification) {
  const auto keyboard = notification.rect(platform::keyboardFrameEndUserInfoKey);
  if (!keyboard) return;
  if (banner_category != "notification html" || close_outside_click != "0") return;
  ui::Rect frame = view()->frame();
  frame.origin.y = keyboard->origin.y - frame.height();
  view()->setFrame(frame);
}

void popUpController::orientationChanged(const platform::Notification&) {
  const bool enabled =
      processState().withConfig([](SharedConfiguration& c) { return c.orientationFlag != "0"; });
  if (!enabled) return;
  std::weak_ptr<ViewController> weak = weak_from_this();
  platform::current().dispatch().mainAsyncAfter(std::chrono::milliseconds(150), [weak] {
    if (auto self = std::static_pointer_cast<popUpController>(weak.lock())) self->rotate();
  });
}

// A turn to portrait or landscape takes an open banner off the screen: its
// view gives way to an empty one that is shown nowhere.
void popUpController::rotate() {
  using platform::DeviceOrientation;
  const auto now = platform::current().screen().deviceOrientation();
  if (static_cast<int>(now) == orientation) return;
  if (now != DeviceOrientation::portrait && now != DeviceOrientation::landscapeLeft &&
      now != DeviceOrientation::landscapeRight) {
    return;
  }
  orientation = static_cast<int>(now);
  if (closecounter > 0) return;
  view()->removeFromSuperview();
  setView(ui::View::make());
}

}  // namespace tavrino
