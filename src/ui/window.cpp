#include "tavrino/ui/window.hpp"

#include "tavrino/platform/platform.hpp"
#include "ui/observer_call.hpp"

namespace tavrino::ui {

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
  const auto self = std::static_pointer_cast<Window>(weak_from_this().lock());
  const auto subviews = this->subviews();
  for (const auto& child : subviews) {
    tellObserver(self, [&](TreeObserver& o) { o.viewAttached(*child); });
  }
}

std::shared_ptr<Window> keyWindow() {
  return platform::current().application().keyWindow();
}

}  // namespace tavrino::ui
