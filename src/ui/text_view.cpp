#include "tavrino/ui/text_view.hpp"

#include <algorithm>
#include <utility>

#include "ui/html_text.hpp"

namespace tavrino::ui {

AttributedText AttributedText::fromHTML(std::string_view html) {
  const auto read = detail::readHTML(html);
  AttributedText text;
  text.html = std::string(html);
  text.string = read.text;
  if (!read.fontFamily.empty()) text.font.family = read.fontFamily;
  if (read.fontSize > 0) text.font.size = read.fontSize;
  return text;
}

AttributedText AttributedText::plain(std::string text, Font font) {
  AttributedText result;
  result.string = std::move(text);
  result.font = std::move(font);
  return result;
}

TextView::TextView(Rect frame) : View(frame) {}

std::shared_ptr<TextView> TextView::make(Rect frame) {
  return std::make_shared<TextView>(frame);
}

std::string_view TextView::kind() const {
  return "TextView";
}

void TextView::setAttributedText(AttributedText text) {
  if (text == text_) return;
  text_ = std::move(text);
  notifyChanged(ViewChange::content);
}

void TextView::setFont(std::optional<Font> font) {
  if (font == font_) return;
  font_ = std::move(font);
  notifyChanged(ViewChange::content);
}

void TextView::setTextColor(std::optional<Color> color) {
  if (color == textColor_) return;
  textColor_ = color;
  notifyChanged(ViewChange::content);
}

void TextView::setTextAlignment(TextAlignment alignment) {
  if (alignment == alignment_) return;
  alignment_ = alignment;
  notifyChanged(ViewChange::content);
}

void TextView::setEditable(bool editable) {
  if (editable == editable_) return;
  editable_ = editable;
  notifyChanged(ViewChange::content);
}

void TextView::setSelectable(bool selectable) {
  if (selectable == selectable_) return;
  selectable_ = selectable;
  notifyChanged(ViewChange::content);
}

void TextView::setScrollEnabled(bool enabled) {
  if (enabled == scrollEnabled_) return;
  scrollEnabled_ = enabled;
  notifyChanged(ViewChange::content);
}

Size TextView::sizeThatFits(Size size) const {
  const double wrapWidth = size.width > 0 ? std::max(size.width - 2 * padding, 1.0) : 0;
  const auto text = measureText(text_.string, effectiveFont(), wrapWidth);
  double width = text.width + 2 * padding;
  if (size.width > 0) width = std::min(width, size.width);
  return {width, text.height + insetTop + insetBottom};
}

}  // namespace tavrino::ui
