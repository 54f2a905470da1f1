#include "tavrino/ui/gesture_recognizer.hpp"

#include <utility>

#include "tavrino/ui/view.hpp"
#include "ui/action_call.hpp"
#include "ui/touch.hpp"

namespace tavrino::ui {

GestureRecognizer::GestureRecognizer(Action action) {
  if (action) actions_.push_back(std::move(action));
}

GestureRecognizer::~GestureRecognizer() = default;

void GestureRecognizer::addTarget(Action action) {
  if (action) actions_.push_back(std::move(action));
}

bool GestureRecognizer::fire(Point location) {
  const auto target = view();
  if (!enabled_ || !target || !detail::receivesTouches(*target)) return false;
  location_ = location;
  // A target may remove the view, or this recogniser, while the rest run.
  const auto keep = weak_from_this().lock();
  const auto actions = actions_;
  for (const auto& action : actions) {
    detail::callGuarded("gesture action", [&] { action(*this); });
  }
  return true;
}

std::shared_ptr<TapGestureRecognizer> TapGestureRecognizer::make(Action action) {
  return std::make_shared<TapGestureRecognizer>(std::move(action));
}

std::string_view TapGestureRecognizer::kind() const {
  return "TapGestureRecognizer";
}

}  // namespace tavrino::ui
