#pragma once

// A button: a title in a font and colour, or an image, over its background,
// with target-actions for touch-up-inside. The host reports a tap on it with
// sendTouchUpInside().
//
// Thread-safety: main thread only.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tavrino/export.hpp"
#include "tavrino/ui/font.hpp"
#include "tavrino/ui/image.hpp"
#include "tavrino/ui/view.hpp"

namespace tavrino::ui {

class TAVRINO_EXPORT Button : public View {
 public:
  using Action = std::function<void(Button& sender)>;

  explicit Button(Rect frame = {});
  static std::shared_ptr<Button> make(Rect frame = {});

  std::string_view kind() const override;

  const std::string& title() const { return title_; }
  void setTitle(std::string title);
  // Nothing: the platform's tint.
  std::optional<Color> titleColor() const { return titleColor_; }
  void setTitleColor(std::optional<Color> color);
  // The system font at 15 points at first.
  const Font& font() const { return font_; }
  void setFont(Font font);
  const Image& image() const { return image_; }
  void setImage(Image image);
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled);

  // Adds an action for touch-up-inside; actions run in the order added.
  void addTarget(Action action);
  // Calls method on target while target lives (the button does not keep it).
  template <typename T>
  void addTarget(const std::shared_ptr<T>& target, void (T::*method)(Button&)) {
    addTarget([weak = std::weak_ptr<T>(target), method](Button& sender) {
      if (auto t = weak.lock()) ((*t).*method)(sender);
    });
  }
  void removeAllTargets() { actions_.clear(); }
  std::size_t targetCount() const { return actions_.size(); }

  // The user lifted a finger inside the button: runs the actions, unless the
  // button is disabled, hidden or not taking user interaction (itself or a
  // superview). Returns whether they ran. Whatever an action throws is
  // logged and dropped; the remaining actions still run.
  bool sendTouchUpInside();

  // The image's size when there is one, else the title's measured size, plus
  // the content padding (6 points on each side, 3 above and below).
  Size sizeThatFits(Size size) const override;

 private:
  std::string title_;
  std::optional<Color> titleColor_;
  Font font_ = Font::systemFont(15);
  Image image_;
  bool enabled_ = true;
  std::vector<Action> actions_;
};

}  // namespace tavrino::ui
