#include "tavrino/ui/window.hpp"

namespace tavrino::ui {
namespace {

void reportAttached(TreeObserver& observer, const View& view) {
  for (const auto& child : view.subviews()) observer.viewAttached(*child);
}

}  // namespace

Window::Window(Rect frame) : View(frame) {}

std::shared_ptr<Window> Window::make(Rect frame) {
  return std::make_shared<Window>(frame);
}

std::string_view Window::kind() const {
  return "Window";
}

void Window::setRootViewController(const std::shared_ptr<ViewController>& controller) {
  if (controller == root_) return;
  if (root_ && root_->isViewLoaded()) root_->view()->removeFromSuperview();
  root_ = controller;
  if (!root_) return;
  const auto& view = root_->view();
  view->setFrame(bounds());
  insertSubview(view, 0);
}

void Window::setTreeObserver(std::shared_ptr<TreeObserver> observer) {
  observer_ = std::move(observer);
  if (observer_) reportAttached(*observer_, *this);
}

}  // namespace tavrino::ui
