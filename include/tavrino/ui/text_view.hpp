#pragma once

// Text views and the attributed text they show. Attributed text made from
// HTML keeps the markup (for a host that renders it) together with the plain
// text and the body font it asks for (for measuring).
//
// Thread-safety: main thread only (AttributedText itself is a plain value).

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/ui/font.hpp"
#include "tavrino/ui/view.hpp"

namespace tavrino::ui {

enum class TextAlignment { natural, left, center, right, justified };

struct TAVRINO_EXPORT AttributedText {
  // The font of HTML text whose markup names none.
  static Font defaultHTMLFont() { return Font{"Times New Roman", 12}; }

  // The markup it was made from; empty for plain text.
  std::string html;
  // The text it shows: the markup's text with styles and scripts dropped,
  // entities decoded, white space collapsed, and line breaks for <br> and
  // the ends of paragraphs and blocks.
  std::string string;
  // The body font: the last font-family and font-size the markup's styles
  // give (a size in px counts as points), else defaultHTMLFont().
  Font font = defaultHTMLFont();

  static AttributedText fromHTML(std::string_view html);
  static AttributedText plain(std::string text, Font font);

  bool operator==(const AttributedText&) const = default;
};

class TAVRINO_EXPORT TextView : public View {
 public:
  explicit TextView(Rect frame = {});
  static std::shared_ptr<TextView> make(Rect frame = {});

  std::string_view kind() const override;

  const AttributedText& attributedText() const { return text_; }
  void setAttributedText(AttributedText text);
  const std::string& text() const { return text_.string; }

  // A font applied over the whole text, or nothing: the text's own font.
  std::optional<Font> font() const { return font_; }
  void setFont(std::optional<Font> font);
  // The font the text is set in.
  Font effectiveFont() const { return font_ ? *font_ : text_.font; }
  // Nothing: the text's own colour.
  std::optional<Color> textColor() const { return textColor_; }
  void setTextColor(std::optional<Color> color);
  TextAlignment textAlignment() const { return alignment_; }
  void setTextAlignment(TextAlignment alignment);
  // Each true at first.
  bool isEditable() const { return editable_; }
  void setEditable(bool editable);
  bool isSelectable() const { return selectable_; }
  void setSelectable(bool selectable);
  bool isScrollEnabled() const { return scrollEnabled_; }
  void setScrollEnabled(bool enabled);

  // Space around the text: 8 points above and below, 5 on either side.
  static constexpr double insetTop = 8, insetBottom = 8, padding = 5;

  // The text wrapped to size.width (less the padding) when that is positive:
  // width is the widest line plus the padding (at most size.width), height
  // the lines plus the insets.
  Size sizeThatFits(Size size) const override;

 private:
  AttributedText text_ = AttributedText::plain("", Font::systemFont(12));
  std::optional<Font> font_;
  std::optional<Color> textColor_;
  TextAlignment alignment_ = TextAlignment::natural;
  bool editable_ = true;
  bool selectable_ = true;
  bool scrollEnabled_ = true;
};

}  // namespace tavrino::ui
