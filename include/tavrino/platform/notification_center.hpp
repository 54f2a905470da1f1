#pragma once

// NotificationCenter: named notifications with a user-info dictionary, such
// as the keyboard changing its frame or the device being turned.
//
// Delivery always happens on the main loop: post() queues one delivery per
// observer registered at that moment, and an observer removed before its
// delivery runs is not called. Observers of one name are called in the order
// they were added. Whatever an observer throws is logged and dropped.
//
// Thread-safety: every method may be called from any thread; observers run on
// the main thread.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "tavrino/export.hpp"
#include "tavrino/ui/geometry.hpp"

namespace tavrino::platform {

// Posted when the on-screen keyboard is about to change its frame; the user
// info holds its end frame in screen points under keyboardFrameEndUserInfoKey.
inline constexpr std::string_view keyboardWillChangeFrameNotification =
    "UIKeyboardWillChangeFrameNotification";
inline constexpr std::string_view keyboardFrameEndUserInfoKey = "UIKeyboardFrameEndUserInfoKey";
// Posted after the device orientation changed; read the new one from Screen.
inline constexpr std::string_view deviceOrientationDidChangeNotification =
    "UIDeviceOrientationDidChangeNotification";

using NotificationValue = std::variant<double, std::string, ui::Rect>;

struct TAVRINO_EXPORT Notification {
  std::string name;
  std::map<std::string, NotificationValue, std::less<>> userInfo;

  // The entry under key when it is a rectangle.
  std::optional<ui::Rect> rect(std::string_view key) const;
  // The entry under key when it is a number.
  std::optional<double> number(std::string_view key) const;
};

using NotificationHandler = std::function<void(const Notification&)>;

// Keeps one observer registered; destroying it (or reset()) removes the
// observer. Outliving the centre is harmless.
class TAVRINO_EXPORT Observation {
 public:
  Observation() = default;
  explicit Observation(std::function<void()> remove) : remove_(std::move(remove)) {}
  Observation(Observation&& other) noexcept;
  Observation& operator=(Observation&& other) noexcept;
  Observation(const Observation&) = delete;
  Observation& operator=(const Observation&) = delete;
  ~Observation();

  void reset();
  bool isActive() const { return static_cast<bool>(remove_); }

 private:
  std::function<void()> remove_;
};

class TAVRINO_EXPORT NotificationCenter {
 public:
  virtual ~NotificationCenter();

  // Calls handler on the main thread for every notification named name that
  // is posted while the returned observation lives.
  [[nodiscard]] virtual Observation addObserver(std::string name, NotificationHandler handler) = 0;
  virtual void post(Notification notification) = 0;
};

}  // namespace tavrino::platform
