// Badge content: the text or image a listing badge shows inside its view.

#include <cmath>
#include <string>

#include "tavrino/banner/geometry.hpp"
#include "tavrino/banner/pop_up_controller.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/ui/custom_button.hpp"
#include "tavrino/ui/text_view.hpp"
#include "tavrino/util/json_helpers.hpp"

namespace tavrino {
namespace {

// A style length ("12", "12px"): a finite number of at least 0, else the
// key's default.
double styleLength(const Value& style, const char* key, double defaultValue) {
  double value = 0;
  const std::string text = Util::removePx(Util::tryCatch(style, key, ""));
  if (!parseNumber(text, &value) || !std::isfinite(value) || value < 0) return defaultValue;
  return value;
}

ui::TextAlignment alignmentFor(std::string_view position) {
  if (position == "center") return ui::TextAlignment::center;
  if (position == "left") return ui::TextAlignment::left;
  if (position == "right") return ui::TextAlignment::right;
  return ui::TextAlignment::natural;
}

// The text sits inside the badge at its insets, never taller than "h" and
// never outside the badge.
ui::Rect textFrame(const ui::Rect& badge, const Value& style) {
  const double left = styleLength(style, "left", 100);
  const double right = styleLength(style, "right", 0);
  const double top = styleLength(style, "top", 0);
  const double bottom = styleLength(style, "bottom", 0);
  const double height = styleLength(style, "h", 50);
  return ui::Rect::make(left, top, std::max(0.0, badge.width() - left - right),
                        std::max(0.0, std::min(height, badge.height() - top - bottom)));
}

std::shared_ptr<ui::View> addTextBadge(ui::View& badge, std::string_view content,
                                       const Value& style) {
  const std::string family = Util::tryCatch(style, "sff", "default");
  const double size = styleLength(style, "sfs", 15);
  std::optional<ui::Font> font;
  if (family != "default") font = ui::Font::named(family, size);
  if (!font) font = ui::Font::systemFont(size);

  auto text = ui::TextView::make();
  text->setAttributedText(ui::AttributedText::fromHTML("<style>body{font-family:'" + family +
                                                       "' ; font-size:" + describe(Value(size)) +
                                                       "px;}</style>" + std::string(content)));
  text->setFont(*font);
  text->setEditable(false);
  text->setSelectable(false);
  text->setUserInteractionEnabled(false);
  text->setTextAlignment(alignmentFor(Util::tryCatch(style, "position", "center")));
  text->setTextColor(Util::hexToUIColor(Util::tryCatch(style, "sfc", "#FFFFFF")));
  const ui::Color background = Util::hexToUIColor(Util::tryCatch(style, "bgc", "#000000"));
  text->setBackgroundColor(background);
  badge.setBackgroundColor(background);
  text->setFrame(textFrame(badge.bounds(), style));
  const ui::Size frameSize = text->frame().size;
  QivUtil::addLog("badge frame size : " + describe(Value(frameSize.width)) + " x " +
                  describe(Value(frameSize.height)));
  badge.addSubview(text);
  return text;
}

std::shared_ptr<ui::View> addImageBadge(ui::View& badge,
                                        const std::optional<ui::Image>& badge_image) {
  auto button = ui::customButton::make();
  if (badge_image) button->setImage(*badge_image);
  const ui::Rect frame = badge.frame();
  button->setFrame(ui::Rect::make(std::trunc(frame.origin.x), std::trunc(frame.origin.y),
                                  std::trunc(frame.width()), std::trunc(frame.height())));
  badge.addSubview(button);
  return button;
}

}  // namespace

std::shared_ptr<ui::View> popUpController::setBadgeContent(
    const std::shared_ptr<ui::View>& badge_view, std::string_view banner_type,
    std::string_view content, const Value& style, const std::optional<ui::Image>& badge_image) {
  QivUtil::addLog("tavrino_log : setBadgeContent called");
  if (!badge_view) return nullptr;
  std::shared_ptr<ui::View> added;
  if (banner_type == "bdgat" || banner_type == "bdgdt") {
    added = addTextBadge(*badge_view, content, style);
  } else if (banner_type == "bdgai" || banner_type == "bdgdi") {
    added = addImageBadge(*badge_view, badge_image);
  } else {
    return nullptr;
  }
  QivUtil::addLog("tavrino_log : setBadgeContent added view to parent");
  return added;
}

}  // namespace tavrino
