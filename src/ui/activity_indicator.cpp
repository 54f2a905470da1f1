#include "tavrino/ui/activity_indicator.hpp"

namespace tavrino::ui {

ActivityIndicator::ActivityIndicator(ActivityIndicatorStyle style, Rect frame)
    : View(frame), style_(style) {
  setHidden(true);
}

std::shared_ptr<ActivityIndicator> ActivityIndicator::make(ActivityIndicatorStyle style,
                                                           Rect frame) {
  return std::make_shared<ActivityIndicator>(style, frame);
}

std::string_view ActivityIndicator::kind() const {
  return "ActivityIndicator";
}

void ActivityIndicator::setStyle(ActivityIndicatorStyle style) {
  if (style == style_) return;
  style_ = style;
  notifyChanged(ViewChange::content);
}

void ActivityIndicator::setHidesWhenStopped(bool hides) {
  if (hides == hidesWhenStopped_) return;
  hidesWhenStopped_ = hides;
  notifyChanged(ViewChange::content);
  if (hides && !animating_) setHidden(true);
}

void ActivityIndicator::startAnimating() {
  if (!animating_) {
    animating_ = true;
    notifyChanged(ViewChange::content);
  }
  setHidden(false);
}

void ActivityIndicator::stopAnimating() {
  if (animating_) {
    animating_ = false;
    notifyChanged(ViewChange::content);
  }
  if (hidesWhenStopped_) setHidden(true);
}

}  // namespace tavrino::ui
