// Which screen the user sees, seen from the key window.

#include "tavrino/banner/pop_up_controller.hpp"

#include <algorithm>

namespace tavrino {

bool popUpController::viewDidTop() {
  // Nothing can be shown without a key window, its root, or a screen to
  // belong to.
  auto parent = this->parent();
  if (!parent) parent = sender_view.lock();
  if (!parent) return false;
  const auto window = ui::keyWindow();
  if (!window) return false;
  const auto root = window->rootViewController();
  if (!root) return false;
  // A host whose screen is the root itself is what the user sees.
  if (root == parent) return true;
  // So is a screen presented over the root, by it or by a screen inside it.
  if (root->presentedViewController() == parent) return true;
  if (auto navigation = std::dynamic_pointer_cast<ui::NavigationController>(root)) {
    if (navigation->visibleViewController() == parent) return true;
  }
  if (auto tabs = std::dynamic_pointer_cast<ui::TabBarController>(root)) {
    const auto& shown = tabs->viewControllers();
    if (std::find(shown.begin(), shown.end(), parent) != shown.end()) return true;
  }
  return isChild(parent, window);
}

std::shared_ptr<ui::ViewController> popUpController::topViewController(
    std::shared_ptr<ui::ViewController> base) {
  // The view tree refuses cycles of children and of presentations, so the
  // walk ends.
  while (base) {
    // A container presents what its screens present, over all of it.
    auto next = base->presentedViewController();
    if (!next) {
      if (auto navigation = std::dynamic_pointer_cast<ui::NavigationController>(base)) {
        next = navigation->visibleViewController();
      } else if (auto tabs = std::dynamic_pointer_cast<ui::TabBarController>(base)) {
        next = tabs->selectedViewController();
      }
    }
    if (!next || next == base) return base;
    base = std::move(next);
  }
  return base;
}

bool popUpController::isChild(const std::shared_ptr<ui::ViewController>& selected,
                              const std::shared_ptr<ui::Window>& window) {
  if (!selected || !window) return false;
  const auto root = window->rootViewController();
  if (!root) return false;
  const auto& children = root->children();
  return std::find(children.begin(), children.end(), selected) != children.end();
}

}  // namespace tavrino
