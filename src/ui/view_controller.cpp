#include "tavrino/ui/view_controller.hpp"

#include <algorithm>

namespace tavrino::runtime {
Object::~Object() = default;
}

namespace tavrino::ui {

ViewController::ViewController(std::string className) : className_(std::move(className)) {}

ViewController::~ViewController() {
  for (const auto& child : children_) {
    if (child->constructingParent_ == this) child->constructingParent_ = nullptr;
  }
}

std::shared_ptr<ViewController> ViewController::parent() const {
  if (auto up = parent_.lock()) return up;
  return constructingParent_ ? constructingParent_->weak_from_this().lock() : nullptr;
}

const std::shared_ptr<View>& ViewController::view() {
  if (!view_) view_ = loadView();
  if (!view_) view_ = View::make();
  return view_;
}

std::shared_ptr<View> ViewController::loadView() {
  return View::make();
}

void ViewController::addChild(const std::shared_ptr<ViewController>& child) {
  if (!child || child.get() == this) return;
  // A controller cannot become its own descendant.
  for (auto up = parent(); up; up = up->parent()) {
    if (up == child) return;
  }
  child->removeFromParent();
  children_.push_back(child);
  child->parent_ = weak_from_this();
  child->constructingParent_ = child->parent_.expired() ? this : nullptr;
}

void ViewController::removeFromParent() {
  if (auto up = parent()) up->removeChild(weak_from_this().lock());
}

void ViewController::removeChild(const std::shared_ptr<ViewController>& child) {
  const auto it = std::find(children_.begin(), children_.end(), child);
  if (it == children_.end()) return;
  const auto kept = *it;  // alive until unlinked
  children_.erase(it);
  kept->parent_.reset();
  kept->constructingParent_ = nullptr;
}

namespace {

// The outermost container controller is in; controller itself when none.
std::shared_ptr<ViewController> outermost(std::shared_ptr<ViewController> controller) {
  while (controller) {
    auto up = controller->parent();
    if (!up) break;
    controller = std::move(up);
  }
  return controller;
}

}  // namespace

void ViewController::present(const std::shared_ptr<ViewController>& controller) {
  const auto presenter = outermost(weak_from_this().lock());
  // One presentation at a time, and never of a controller already in the
  // chain: that would be an ownership cycle.
  if (!controller || !presenter || presenter->presented_ || controller->parent() ||
      controller->presentingViewController()) {
    return;
  }
  for (auto c = presenter; c; c = c->presentingViewController()) {
    if (c == controller) return;
  }
  presenter->presented_ = controller;
  controller->presenting_ = presenter;
}

void ViewController::dismiss() {
  const auto top = outermost(weak_from_this().lock());
  if (!top) return;
  const auto shown = top->presented_ ? top->presented_ : top;
  const auto presenter = shown->presentingViewController();
  if (!presenter) return;
  presenter->presented_.reset();
  shown->presenting_.reset();
}

NavigationController::NavigationController(std::shared_ptr<ViewController> root,
                                           std::string className)
    : ViewController(std::move(className)) {
  if (root) addChild(root);
}

namespace {

// Shows controller's view alone in container, filling it.
void showOnly(View& container, const std::shared_ptr<ViewController>& controller) {
  const auto shown = container.subviews();
  for (const auto& view : shown) {
    if (!controller || view != controller->view()) view->removeFromSuperview();
  }
  if (!controller) return;
  const auto& view = controller->view();
  view->setFrame(container.bounds());
  if (view->superview().get() != &container) container.addSubview(view);
}

}  // namespace

void NavigationController::pushViewController(const std::shared_ptr<ViewController>& controller) {
  if (!controller) return;
  addChild(controller);
  if (isViewLoaded()) showOnly(*view(), topViewController());
}

std::shared_ptr<ViewController> NavigationController::popViewController() {
  if (children().size() <= 1) return nullptr;
  auto top = children().back();
  removeChild(top);
  if (isViewLoaded()) showOnly(*view(), topViewController());
  return top;
}

std::shared_ptr<View> NavigationController::loadView() {
  auto root = View::make();
  showOnly(*root, topViewController());
  return root;
}

std::shared_ptr<ViewController> NavigationController::topViewController() const {
  return children().empty() ? nullptr : children().back();
}

std::shared_ptr<ViewController> NavigationController::visibleViewController() const {
  if (auto presented = presentedViewController()) return presented;
  return topViewController();
}

TabBarController::TabBarController(std::string className) : ViewController(std::move(className)) {}

void TabBarController::setViewControllers(
    const std::vector<std::shared_ptr<ViewController>>& controllers) {
  while (!children().empty()) removeChild(children().back());
  for (const auto& controller : controllers) addChild(controller);
  selectedIndex_ = 0;
  if (isViewLoaded()) showOnly(*view(), selectedViewController());
}

void TabBarController::setSelectedIndex(std::size_t index) {
  if (index >= children().size()) return;
  selectedIndex_ = index;
  if (isViewLoaded()) showOnly(*view(), selectedViewController());
}

std::shared_ptr<View> TabBarController::loadView() {
  auto root = View::make();
  showOnly(*root, selectedViewController());
  return root;
}

std::shared_ptr<ViewController> TabBarController::selectedViewController() const {
  return selectedIndex_ < children().size() ? children()[selectedIndex_] : nullptr;
}

}  // namespace tavrino::ui
