#include "ui/tree_mirror.hpp"

#include <algorithm>
#include <stdexcept>

namespace tavrino::testing {
namespace {

std::vector<std::uint64_t> childIds(const ui::View& view) {
  std::vector<std::uint64_t> ids;
  for (const auto& child : view.subviews()) ids.push_back(child->identity());
  return ids;
}

// What a host reads of a view when it creates or updates its widget.
void readProperties(const ui::View& view, MirroredView& m) {
  m.accessibility = view.accessibilityIdentifier();
  m.restoration = view.restorationIdentifier();
  m.frame = view.frame();
  m.hidden = view.isHidden();
  m.alpha = view.alpha();
}

void collect(const ui::View& view, std::uint64_t parent,
             std::map<std::uint64_t, MirroredView>& out) {
  auto& m = out[view.identity()];
  m.parent = parent;
  m.children = childIds(view);
  readProperties(view, m);
  for (const auto& child : view.subviews()) collect(*child, view.identity(), out);
}

}  // namespace

TreeMirror::TreeMirror(const ui::Window& window) {
  readProperties(window, views[window.identity()]);
}

void TreeMirror::add(const ui::View& view) {
  auto& m = views[view.identity()];
  m.parent = view.superview() ? view.superview()->identity() : 0;
  m.children.clear();
  readProperties(view, m);
  for (const auto& child : view.subviews()) {
    m.children.push_back(child->identity());
    add(*child);
  }
}

void TreeMirror::remove(std::uint64_t id) {
  const auto it = views.find(id);
  if (it == views.end()) return;
  const auto children = it->second.children;
  views.erase(it);
  for (auto child : children) remove(child);
}

void TreeMirror::viewAttached(const ui::View& view) {
  events.push_back("attach " + std::to_string(view.identity()));
  add(view);
  // Placed among the siblings where the tree has it now.
  const auto parent = view.superview();
  if (auto p = parent ? views.find(parent->identity()) : views.end(); p != views.end()) {
    const auto& siblings = parent->subviews();
    const auto at = std::find_if(siblings.begin(), siblings.end(),
                                 [&](const auto& s) { return s.get() == &view; }) -
                    siblings.begin();
    auto& order = p->second.children;
    order.insert(order.begin() + std::min<std::ptrdiff_t>(at, std::ssize(order)), view.identity());
  }
  if (throwOnAttach) throw std::runtime_error("widget toolkit refused");
}

void TreeMirror::viewDetached(const ui::View& view) {
  events.push_back("detach " + std::to_string(view.identity()));
  const auto it = views.find(view.identity());
  if (it == views.end()) return;
  // The view has left already: its former parent is what the mirror knows.
  if (auto p = views.find(it->second.parent); p != views.end()) {
    std::erase(p->second.children, view.identity());
  }
  remove(view.identity());
}

void TreeMirror::viewChanged(const ui::View& view, ui::ViewChange change) {
  events.push_back("change " + std::to_string(view.identity()));
  const auto it = views.find(view.identity());
  if (it == views.end()) {
    ++unknownChanges;
    return;
  }
  readProperties(view, it->second);
  if (change == ui::ViewChange::content) it->second.children = childIds(view);
}

std::map<std::uint64_t, MirroredView> TreeMirror::expected(const ui::Window& window) {
  std::map<std::uint64_t, MirroredView> out;
  collect(window, 0, out);
  return out;
}

}  // namespace tavrino::testing
