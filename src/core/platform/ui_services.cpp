// Out-of-line pieces of the screen, notification, font and web interfaces.

#include <utility>

#include "tavrino/platform/fonts.hpp"
#include "tavrino/platform/notification_center.hpp"
#include "tavrino/platform/screen.hpp"
#include "tavrino/platform/web_engine.hpp"

namespace tavrino::platform {

Screen::~Screen() = default;
NotificationCenter::~NotificationCenter() = default;
Fonts::~Fonts() = default;
WebEngine::~WebEngine() = default;
WebPage::~WebPage() = default;
WebPageClient::~WebPageClient() = default;

std::optional<ui::Rect> Notification::rect(std::string_view key) const {
  auto it = userInfo.find(key);
  if (it == userInfo.end()) return std::nullopt;
  if (const auto* r = std::get_if<ui::Rect>(&it->second)) return *r;
  return std::nullopt;
}

std::optional<double> Notification::number(std::string_view key) const {
  auto it = userInfo.find(key);
  if (it == userInfo.end()) return std::nullopt;
  if (const auto* d = std::get_if<double>(&it->second)) return *d;
  return std::nullopt;
}

Observation::Observation(Observation&& other) noexcept : remove_(std::move(other.remove_)) {
  other.remove_ = nullptr;
}

Observation& Observation::operator=(Observation&& other) noexcept {
  if (this != &other) {
    reset();
    remove_ = std::move(other.remove_);
    other.remove_ = nullptr;
  }
  return *this;
}

Observation::~Observation() {
  reset();
}

void Observation::reset() {
  auto remove = std::move(remove_);
  remove_ = nullptr;
  if (remove) remove();
}

}  // namespace tavrino::platform
