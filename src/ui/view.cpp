#include "tavrino/ui/view.hpp"

#include <algorithm>
#include <atomic>

#include "tavrino/ui/gesture_recognizer.hpp"
#include "tavrino/ui/window.hpp"
#include "ui/animation_recorder.hpp"
#include "ui/observer_call.hpp"

namespace tavrino::ui {
namespace {

std::uint64_t nextIdentity() {
  static std::atomic<std::uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

TreeObserver::~TreeObserver() = default;

View::View(Rect frame) : identity_(nextIdentity()), frame_(frame) {}

View::~View() = default;

std::shared_ptr<View> View::make(Rect frame) {
  return std::make_shared<View>(frame);
}

std::string_view View::kind() const {
  return "View";
}

void View::setFrame(Rect frame) {
  if (frame == frame_) return;
  detail::willAnimate(*this);
  frame_ = frame;
  notifyChanged(ViewChange::frame);
}

Rect View::bounds() const {
  return Rect{{0, 0}, frame_.size};
}

void View::addSubview(const std::shared_ptr<View>& view) {
  insertSubview(view, subviews_.size());
}

void View::insertSubview(const std::shared_ptr<View>& added, std::size_t index) {
  // A copy: added may name an entry of the list it is taken from.
  const auto view = added;
  // Only views held by shared pointers can be superviews (the weak link).
  if (!view || view.get() == this || weak_from_this().expired()) return;
  // A view cannot become its own descendant.
  for (auto up = superview(); up; up = up->superview()) {
    if (up == view) return;
  }
  view->detachFromSuperview();
  index = std::min(index, subviews_.size());
  subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), view);
  view->superview_ = weak_from_this();
  tellObserver(window(), [&](TreeObserver& o) { o.viewAttached(*view); });
}

void View::bringSubviewToFront(const std::shared_ptr<View>& view) {
  auto it = std::find(subviews_.begin(), subviews_.end(), view);
  if (it == subviews_.end() || it + 1 == subviews_.end()) return;
  std::rotate(it, it + 1, subviews_.end());
  notifyChanged(ViewChange::content);
}

void View::removeFromSuperview() {
  detachFromSuperview();
}

void View::detachFromSuperview() {
  auto parent = superview();
  if (!parent) return;
  auto w = window();
  auto self = shared_from_this();
  auto& siblings = parent->subviews_;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), self), siblings.end());
  superview_.reset();
  tellObserver(w, [&](TreeObserver& o) { o.viewDetached(*this); });
}

std::shared_ptr<Window> View::window() const {
  std::shared_ptr<const View> top = weak_from_this().lock();
  if (!top) return nullptr;
  while (auto up = top->superview()) top = up;
  return std::dynamic_pointer_cast<Window>(std::const_pointer_cast<View>(top));
}

void View::setAccessibilityIdentifier(std::string identifier) {
  if (identifier == accessibilityIdentifier_) return;
  accessibilityIdentifier_ = std::move(identifier);
  notifyChanged(ViewChange::content);
}

void View::setRestorationIdentifier(std::string identifier) {
  if (identifier == restorationIdentifier_) return;
  restorationIdentifier_ = std::move(identifier);
  notifyChanged(ViewChange::content);
}

void View::setBackgroundColor(std::optional<Color> color) {
  if (color == backgroundColor_) return;
  backgroundColor_ = color;
  notifyChanged(ViewChange::content);
}

void View::setAlpha(double alpha) {
  if (alpha == alpha_) return;
  detail::willAnimate(*this);
  alpha_ = alpha;
  notifyChanged(ViewChange::visibility);
}

void View::setHidden(bool hidden) {
  if (hidden == hidden_) return;
  hidden_ = hidden;
  notifyChanged(ViewChange::visibility);
}

void View::setOpaque(bool opaque) {
  if (opaque == opaque_) return;
  opaque_ = opaque;
  notifyChanged(ViewChange::content);
}

void View::setBorderColor(std::optional<Color> color) {
  if (color == borderColor_) return;
  borderColor_ = color;
  notifyChanged(ViewChange::content);
}

void View::setBorderWidth(double width) {
  if (width == borderWidth_) return;
  borderWidth_ = width;
  notifyChanged(ViewChange::content);
}

void View::setCornerRadius(double radius) {
  if (radius == cornerRadius_) return;
  cornerRadius_ = radius;
  notifyChanged(ViewChange::content);
}

void View::setMasksToBounds(bool masks) {
  if (masks == masksToBounds_) return;
  masksToBounds_ = masks;
  notifyChanged(ViewChange::content);
}

void View::setUserInteractionEnabled(bool enabled) {
  if (enabled == userInteractionEnabled_) return;
  userInteractionEnabled_ = enabled;
  notifyChanged(ViewChange::content);
}

void View::addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer) {
  if (!recognizer) return;
  if (std::find(recognizers_.begin(), recognizers_.end(), recognizer) != recognizers_.end()) {
    return;
  }
  if (auto earlier = recognizer->view()) earlier->removeGestureRecognizer(recognizer);
  recognizers_.push_back(recognizer);
  recognizer->view_ = weak_from_this();
  notifyChanged(ViewChange::content);
}

void View::removeGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer) {
  auto it = std::find(recognizers_.begin(), recognizers_.end(), recognizer);
  if (it == recognizers_.end()) return;
  // recognizer may name the list's own entry, which erase() destroys.
  const auto removed = *it;
  recognizers_.erase(it);
  removed->view_.reset();
  notifyChanged(ViewChange::content);
}

Size View::sizeThatFits(Size) const {
  return frame_.size;
}

void View::notifyChanged(ViewChange change) {
  tellObserver(window(), [&](TreeObserver& o) { o.viewChanged(*this, change); });
}

}  // namespace tavrino::ui
