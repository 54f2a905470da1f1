#pragma once

namespace tavrino::ui {
class View;
}

namespace tavrino::ui::detail {

// Tells the animation in progress, if any, that view's frame or alpha is
// about to change, so it can keep the starting values.
void willAnimate(const View& view);

}  // namespace tavrino::ui::detail
