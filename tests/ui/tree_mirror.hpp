#pragma once

// A tree observer that keeps a copy of the tree the way a host toolkit would
// keep its widgets, keyed by identity, and records what it was told.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tavrino/platform/url_session.hpp"
#include "tavrino/ui/window.hpp"

namespace tavrino::testing {

inline platform::URLRequest requestFor(std::string url) {
  platform::URLRequest request;
  request.url = std::move(url);
  return request;
}

struct MirroredView {
  std::uint64_t parent = 0;
  std::vector<std::uint64_t> children;  // in subview order
  std::string kind;
  std::string content;  // what a widget draws, as describeContent() gives it
  std::string accessibility, restoration;
  ui::Rect frame;
  bool hidden = false;
  double alpha = 1;
  bool operator==(const MirroredView&) const = default;
};

// Everything a host reads to draw view: the layer, and the widget's own state.
std::string describeContent(const ui::View& view);

class TreeMirror final : public ui::TreeObserver {
 public:
  void viewAttached(const ui::View& view) override;
  void viewDetached(const ui::View& view) override;
  void viewChanged(const ui::View& view, ui::ViewChange change) override;

  // The mirror a faithful observer would hold for window's tree; the window
  // itself is the entry keyed by its identity.
  static std::map<std::uint64_t, MirroredView> expected(const ui::Window& window);

  // Starts the mirror with the window's own entry, as a host does.
  explicit TreeMirror(const ui::Window& window);

  std::map<std::uint64_t, MirroredView> views;
  std::vector<std::string> events;  // "attach <id>", "detach <id>", "change <id>"
  int unknownChanges = 0;           // changes of views the mirror never saw attached
  bool throwOnAttach = false;

 private:
  void remove(std::uint64_t id);
};

}  // namespace tavrino::testing
