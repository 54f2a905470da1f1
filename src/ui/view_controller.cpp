#include "tavrino/ui/view_controller.hpp"

#include <algorithm>

namespace tavrino::runtime {
Object::~Object() = default;
}

namespace tavrino::ui {

ViewController::ViewController(std::string className) : className_(std::move(className)) {}

ViewController::~ViewController() = default;

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
  child->removeFromParent();
  children_.push_back(child);
  child->parent_ = weak_from_this();
}

void ViewController::removeFromParent() {
  auto up = parent();
  if (!up) return;
  auto self = shared_from_this();
  auto& siblings = up->children_;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), self), siblings.end());
  parent_.reset();
}

void ViewController::present(const std::shared_ptr<ViewController>& controller) {
  if (!controller || presented_) return;
  presented_ = controller;
  controller->presenting_ = weak_from_this();
}

void ViewController::dismiss() {
  // Dismissing a presented controller asks its presenter, as the platform does.
  if (auto presenter = presentingViewController(); presenter && !presented_) {
    presenter->presented_.reset();
    presenting_.reset();
    return;
  }
  if (presented_) {
    presented_->presenting_.reset();
    presented_.reset();
  }
}

NavigationController::NavigationController(std::shared_ptr<ViewController> root,
                                           std::string className)
    : ViewController(std::move(className)) {
  if (root) pushViewController(root);
}

void NavigationController::pushViewController(const std::shared_ptr<ViewController>& controller) {
  if (!controller) return;
  addChild(controller);
  view()->addSubview(controller->view());
}

std::shared_ptr<ViewController> NavigationController::popViewController() {
  if (children().size() <= 1) return nullptr;
  auto top = children().back();
  if (top->isViewLoaded()) top->view()->removeFromSuperview();
  top->removeFromParent();
  return top;
}

std::shared_ptr<ViewController> NavigationController::topViewController() const {
  return children().empty() ? nullptr : children().back();
}

std::shared_ptr<ViewController> NavigationController::visibleViewController() const {
  if (auto presented = presentedViewController()) return presented;
  return topViewController();
}

TabBarController::TabBarController(std::string className)
    : ViewController(std::move(className)) {}

void TabBarController::setViewControllers(
    const std::vector<std::shared_ptr<ViewController>>& controllers) {
  while (!children().empty()) {
    auto child = children().back();
    if (child->isViewLoaded()) child->view()->removeFromSuperview();
    child->removeFromParent();
  }
  for (const auto& controller : controllers) addChild(controller);
  selectedIndex_ = 0;
  setSelectedIndex(0);
}

void TabBarController::setSelectedIndex(std::size_t index) {
  if (index >= children().size()) return;
  if (auto old = selectedViewController(); old && old->isViewLoaded()) {
    old->view()->removeFromSuperview();
  }
  selectedIndex_ = index;
  view()->addSubview(children()[index]->view());
}

std::shared_ptr<ViewController> TabBarController::selectedViewController() const {
  return selectedIndex_ < children().size() ? children()[selectedIndex_] : nullptr;
}

}  // namespace tavrino::ui
