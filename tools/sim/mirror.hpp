#pragma once

// The simulator's copy of the window's view tree, kept the way a host
// toolkit keeps its widgets: from the public tree observer alone, keyed by
// each view's identity, with everything needed to draw it read when the view
// is attached or reported changed. Pictures, taps and the timeline's screen
// lines all work from this copy.
//
// Thread-safety: main thread only, like the tree it mirrors.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tavrino/ui/view.hpp"
#include "tavrino/value.hpp"

namespace tavrino::sim {

struct MirrorNode {
  std::uint64_t id = 0;
  std::uint64_t parent = 0;
  std::vector<std::uint64_t> children;  // back to front
  std::string kind;
  ui::Rect frame;
  std::optional<ui::Color> background;
  double alpha = 1;
  bool hidden = false;
  std::optional<ui::Color> borderColor;
  double borderWidth = 0;
  double cornerRadius = 0;
  bool masksToBounds = false;
  bool interactive = true;
  std::size_t tapRecognizers = 0;
  std::string accessibilityId, restorationId;

  // Buttons: title and image; text views: text.
  std::string title;
  std::optional<ui::Color> textColor;
  std::string fontFamily;
  double fontSize = 0;
  std::string alignment;  // text views: "left", "center", "right", "justify", ""
  double imageWidth = 0, imageHeight = 0;
  std::shared_ptr<const Data> imageBytes;
  bool enabled = true;
  std::string text;
  bool spinning = false;

  // Web views: the document (with its base address) or the address loaded.
  std::string webHtml;
  std::optional<std::string> webBaseUrl;
  std::string webUrl;
};

class Mirror final : public ui::TreeObserver {
 public:
  // What the tree did since the last take(): subtrees that appeared or went
  // (each described when it happened) and how many views changed.
  struct Changes {
    std::vector<std::uint64_t> appeared;
    std::vector<std::string> gone;
    int changed = 0;
    bool empty() const { return appeared.empty() && gone.empty() && changed == 0; }
  };

  // Starts with the window's own entry, as a host does.
  explicit Mirror(const ui::View& window);

  void viewAttached(const ui::View& view) override;
  void viewDetached(const ui::View& view) override;
  void viewChanged(const ui::View& view, ui::ViewChange change) override;

  std::uint64_t rootId() const { return root_; }
  const MirrorNode* find(std::uint64_t id) const;
  // Whether the user can see the view: it and every view above it shown.
  bool isVisible(const MirrorNode& node) const;
  const std::map<std::uint64_t, MirrorNode>& nodes() const { return nodes_; }
  // Ids in drawing order: a view before its subviews, back to front.
  std::vector<std::uint64_t> drawingOrder() const;

  // A one-line description of the subtree at id ("View #qiv_banner 390x844:
  // WebView 300x250, Button \"qiv_close\" ...").
  std::string describe(std::uint64_t id) const;

  Changes take();
  // Bumped by every report; pictures are drawn when it moved.
  std::uint64_t version() const { return version_; }

 private:
  void collect(const ui::View& view, std::uint64_t parent);
  void remove(std::uint64_t id);

  std::uint64_t root_;
  std::map<std::uint64_t, MirrorNode> nodes_;
  Changes changes_;
  std::uint64_t version_ = 0;
};

// Reads what a host draws of view into node (not its place in the tree).
void readNode(const ui::View& view, MirrorNode& node);

}  // namespace tavrino::sim
