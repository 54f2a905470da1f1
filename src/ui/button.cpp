#include "tavrino/ui/button.hpp"

#include <utility>

#include "tavrino/ui/custom_button.hpp"
#include "ui/action_call.hpp"
#include "ui/touch.hpp"

namespace tavrino::ui {

Button::Button(Rect frame) : View(frame) {}

std::shared_ptr<Button> Button::make(Rect frame) {
  return std::make_shared<Button>(frame);
}

std::string_view Button::kind() const {
  return "Button";
}

void Button::setTitle(std::string title) {
  if (title == title_) return;
  title_ = std::move(title);
  notifyChanged(ViewChange::content);
}

void Button::setTitleColor(std::optional<Color> color) {
  if (color == titleColor_) return;
  titleColor_ = color;
  notifyChanged(ViewChange::content);
}

void Button::setFont(Font font) {
  if (font == font_) return;
  font_ = std::move(font);
  notifyChanged(ViewChange::content);
}

void Button::setImage(Image image) {
  if (image == image_) return;
  image_ = std::move(image);
  notifyChanged(ViewChange::content);
}

void Button::setEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  notifyChanged(ViewChange::content);
}

void Button::addTarget(Action action) {
  if (action) actions_.push_back(std::move(action));
}

bool Button::sendTouchUpInside() {
  if (!enabled_ || !detail::receivesTouches(*this)) return false;
  // An action may close the banner this button belongs to.
  const auto keep = weak_from_this().lock();
  const auto actions = actions_;
  for (const auto& action : actions) {
    detail::callGuarded("button action", [&] { action(*this); });
  }
  return true;
}

Size Button::sizeThatFits(Size) const {
  constexpr double horizontal = 6, vertical = 3;
  Size content = image_.isEmpty() ? measureText(title_, font_) : image_.size();
  return {content.width + 2 * horizontal, content.height + 2 * vertical};
}

std::shared_ptr<customButton> customButton::make(Rect frame) {
  return std::make_shared<customButton>(frame);
}

}  // namespace tavrino::ui
