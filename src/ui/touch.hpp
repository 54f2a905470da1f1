#pragma once

#include "tavrino/ui/view.hpp"

namespace tavrino::ui::detail {

// A touch reaches a view only when neither it nor any superview is hidden or
// shut to user interaction.
inline bool receivesTouches(const View& view) {
  if (view.isHidden() || !view.isUserInteractionEnabled()) return false;
  for (auto up = view.superview(); up; up = up->superview()) {
    if (up->isHidden() || !up->isUserInteractionEnabled()) return false;
  }
  return true;
}

}  // namespace tavrino::ui::detail
