#pragma once

// A tree observer that keeps a copy of the tree the way a host toolkit would
// keep its widgets, keyed by identity, and records what it was told.

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "tavrino/platform/linux_web_engine.hpp"
#include "tavrino/ui/activity_indicator.hpp"
#include "tavrino/ui/button.hpp"
#include "tavrino/ui/text_view.hpp"
#include "tavrino/ui/web_view.hpp"
#include "tavrino/ui/window.hpp"

namespace tavrino::testing {

struct MirroredView {
  std::vector<std::uint64_t> children;  // in subview order
  std::string content;  // kind, identifiers, geometry and the widget's own state: all a host draws
  bool operator==(const MirroredView&) const = default;
};
using Mirror = std::map<std::uint64_t, MirroredView>;

class TreeMirror final : public ui::TreeObserver {
 public:
  // Starts the mirror with the window's own entry, as a host does.
  explicit TreeMirror(const ui::Window& window) { read(window, views[window.identity()]); }

  // The mirror a faithful observer would hold for window's tree; the window
  // itself is the entry keyed by its identity.
  static Mirror expected(const ui::Window& window) {
    Mirror out;
    collect(window, out);
    return out;
  }

  void viewAttached(const ui::View& view) override {
    events.push_back("attach " + std::to_string(view.identity()));
    const auto parent = view.superview();
    collect(view, views);
    // Placed among the siblings where the tree has it now.
    if (auto p = parent ? views.find(parent->identity()) : views.end(); p != views.end()) {
      const auto& siblings = parent->subviews();
      const auto at = std::find_if(siblings.begin(), siblings.end(),
                                   [&](const auto& s) { return s.get() == &view; }) -
                      siblings.begin();
      auto& order = p->second.children;
      order.insert(order.begin() + std::min<std::ptrdiff_t>(at, std::ssize(order)),
                   view.identity());
    }
    if (throwOnAttach) throw std::runtime_error("widget toolkit refused");
  }
  void viewDetached(const ui::View& view) override {
    events.push_back("detach " + std::to_string(view.identity()));
    // The view has left already: its former parent is the mirror's to find.
    for (auto& [id, mirrored] : views) std::erase(mirrored.children, view.identity());
    remove(view.identity());
  }
  void viewChanged(const ui::View& view, ui::ViewChange change) override {
    events.push_back("change " + std::to_string(view.identity()));
    const auto it = views.find(view.identity());
    if (it == views.end()) return void(++unknownChanges);
    read(view, it->second);
    if (change == ui::ViewChange::content) it->second.children = childIds(view);
  }

  Mirror views;
  std::vector<std::string> events;  // "attach <id>", "detach <id>", "change <id>"
  int unknownChanges = 0;           // changes of views the mirror never saw attached
  bool throwOnAttach = false;

 private:
  static std::vector<std::uint64_t> childIds(const ui::View& view) {
    std::vector<std::uint64_t> ids;
    for (const auto& child : view.subviews()) ids.push_back(child->identity());
    return ids;
  }
  static void collect(const ui::View& view, Mirror& out) {
    auto& m = out[view.identity()];
    m.children = childIds(view);
    read(view, m);
    for (const auto& child : view.subviews()) collect(*child, out);
  }
  void remove(std::uint64_t id) {
    const auto it = views.find(id);
    if (it == views.end()) return;
    const auto children = it->second.children;
    views.erase(it);
    for (auto child : children) remove(child);
  }
  static std::string text(const std::optional<ui::Color>& c) {
    if (!c) return "none";
    return (std::ostringstream() << c->red << ',' << c->green << ',' << c->blue << ',' << c->alpha)
        .str();
  }
  static std::string text(const ui::Font& font) {
    return font.family + '@' + std::to_string(font.size);
  }
  // What a host reads of a view when it creates or updates its widget.
  static void read(const ui::View& view, MirroredView& m) {
    const ui::Rect f = view.frame();
    std::ostringstream out;
    out << view.kind() << " id=" << view.accessibilityIdentifier() << '/'
        << view.restorationIdentifier() << " frame=" << f.origin.x << ',' << f.origin.y << ','
        << f.size.width << ',' << f.size.height << " hidden=" << view.isHidden()
        << " alpha=" << view.alpha() << " bg=" << text(view.backgroundColor())
        << " border=" << view.borderWidth() << '/' << text(view.borderColor())
        << " radius=" << view.cornerRadius() << " masks=" << view.masksToBounds()
        << " opaque=" << view.isOpaque() << " touch=" << view.isUserInteractionEnabled()
        << " gestures=" << view.gestureRecognizers().size();
    if (const auto* b = dynamic_cast<const ui::Button*>(&view)) {
      out << " title=" << b->title() << " color=" << text(b->titleColor())
          << " font=" << text(b->font()) << " image=" << b->image().width() << 'x'
          << b->image().height() << " enabled=" << b->isEnabled();
    }
    if (const auto* t = dynamic_cast<const ui::TextView*>(&view)) {
      out << " html=" << t->attributedText().html << " text=" << t->text()
          << " font=" << text(t->effectiveFont()) << " color=" << text(t->textColor())
          << " align=" << int(t->textAlignment()) << " edit=" << t->isEditable()
          << " select=" << t->isSelectable() << " scroll=" << t->isScrollEnabled();
    }
    if (const auto* a = dynamic_cast<const ui::ActivityIndicator*>(&view)) {
      out << " style=" << int(a->style()) << " spinning=" << a->isAnimating()
          << " hides=" << a->hidesWhenStopped();
    }
    if (const auto* w = dynamic_cast<const ui::WebView*>(&view)) {
      out << " scroll=" << w->isScrollEnabled() << " bounces=" << w->bounces();
      auto& page = const_cast<ui::WebView*>(w)->page();
      if (const auto* p = dynamic_cast<const platform::LinuxWebPage*>(&page))
        out << " page=" << int(p->content().kind) << ':' << p->content().html
            << p->content().request.url;
    }
    m.content = out.str();
  }
};

}  // namespace tavrino::testing
