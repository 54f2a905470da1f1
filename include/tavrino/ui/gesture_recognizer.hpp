#pragma once

// Gesture recognisers hang on views and call their targets when the host
// recognises the gesture on that view. The host (or a test) reports a tap
// with fire().
//
// Thread-safety: main thread only.

#include <functional>
#include <memory>
#include <vector>

#include "tavrino/export.hpp"
#include "tavrino/ui/geometry.hpp"

namespace tavrino::ui {

class View;

class TAVRINO_EXPORT GestureRecognizer : public std::enable_shared_from_this<GestureRecognizer> {
 public:
  using Action = std::function<void(GestureRecognizer& sender)>;

  explicit GestureRecognizer(Action action = {});
  virtual ~GestureRecognizer();
  GestureRecognizer(const GestureRecognizer&) = delete;
  GestureRecognizer& operator=(const GestureRecognizer&) = delete;

  // "TapGestureRecognizer", ...
  virtual std::string_view kind() const = 0;

  void addTarget(Action action);
  // Calls method on target while target lives.
  template <typename T>
  void addTarget(const std::shared_ptr<T>& target, void (T::*method)()) {
    addTarget([weak = std::weak_ptr<T>(target), method](GestureRecognizer&) {
      if (auto t = weak.lock()) ((*t).*method)();
    });
  }
  std::size_t targetCount() const { return actions_.size(); }

  // The view it is attached to, or null.
  std::shared_ptr<View> view() const { return view_.lock(); }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }
  // Where the last recognised gesture happened, in the view's coordinates.
  Point location() const { return location_; }

  // The host recognised the gesture at location: calls every target in the
  // order added. Does nothing and returns false when the recogniser is
  // disabled or not on a view, or when that view or one of its superviews is
  // hidden or does not take user interaction. Whatever a target throws is
  // logged and dropped.
  bool fire(Point location = {});

 private:
  friend class View;
  std::weak_ptr<View> view_;
  std::vector<Action> actions_;
  bool enabled_ = true;
  Point location_;
};

class TAVRINO_EXPORT TapGestureRecognizer final : public GestureRecognizer {
 public:
  using GestureRecognizer::GestureRecognizer;
  static std::shared_ptr<TapGestureRecognizer> make(Action action = {});
  std::string_view kind() const override;
};

}  // namespace tavrino::ui
