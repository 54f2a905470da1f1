#include "sim/mirror.hpp"

#include <algorithm>
#include <cmath>

#include "sim/sim_web_engine.hpp"
#include "tavrino/ui/activity_indicator.hpp"
#include "tavrino/ui/button.hpp"
#include "tavrino/ui/gesture_recognizer.hpp"
#include "tavrino/ui/text_view.hpp"
#include "tavrino/ui/web_view.hpp"

namespace tavrino::sim {
namespace {

const char* alignmentName(ui::TextAlignment alignment) {
  switch (alignment) {
    case ui::TextAlignment::left:
      return "left";
    case ui::TextAlignment::center:
      return "center";
    case ui::TextAlignment::right:
      return "right";
    case ui::TextAlignment::justified:
      return "justify";
    case ui::TextAlignment::natural:
      break;
  }
  return "";
}

std::string size(const ui::Rect& frame) {
  const auto whole = [](double v) {
    return std::to_string(static_cast<long long>(std::lround(v)));
  };
  return whole(frame.width()) + "x" + whole(frame.height());
}

std::string shortText(std::string text, std::size_t limit = 40) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  if (text.size() > limit) {
    std::size_t cut = limit;
    // Never split a UTF-8 sequence.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text = text.substr(0, cut) + "...";
  }
  return text;
}

// A view as the timeline names it: kind, identifier, what it says, size.
std::string label(const MirrorNode& node) {
  std::string text = node.kind;
  if (!node.accessibilityId.empty()) text += " #" + node.accessibilityId;
  if (!node.restorationId.empty()) text += " @" + node.restorationId;
  if (!node.title.empty()) text += " \"" + shortText(node.title) + "\"";
  if (!node.text.empty()) text += " \"" + shortText(node.text) + "\"";
  if (node.imageWidth > 0) text += " [image]";
  if (!node.webUrl.empty()) text += " <" + shortText(node.webUrl, 60) + ">";
  if (!node.webHtml.empty()) text += " [document]";
  return text + " " + size(node.frame);
}

bool isWidget(const MirrorNode& node) {
  return node.kind != "View";
}

}  // namespace

void readNode(const ui::View& view, MirrorNode& node) {
  node.id = view.identity();
  node.kind = view.kind();
  node.frame = view.frame();
  node.background = view.backgroundColor();
  node.alpha = view.alpha();
  node.hidden = view.isHidden();
  node.borderColor = view.borderColor();
  node.borderWidth = view.borderWidth();
  node.cornerRadius = view.cornerRadius();
  node.masksToBounds = view.masksToBounds();
  node.interactive = view.isUserInteractionEnabled();
  node.tapRecognizers = view.gestureRecognizers().size();
  node.accessibilityId = view.accessibilityIdentifier();
  node.restorationId = view.restorationIdentifier();
  if (const auto* button = dynamic_cast<const ui::Button*>(&view)) {
    node.title = button->title();
    node.textColor = button->titleColor();
    node.fontFamily = button->font().family;
    node.fontSize = button->font().size;
    node.enabled = button->isEnabled();
    const ui::Image& image = button->image();
    node.imageWidth = image.width();
    node.imageHeight = image.height();
    if (image.isEmpty()) {
      node.imageBytes.reset();
    } else if (!node.imageBytes || *node.imageBytes != image.data()) {
      node.imageBytes = std::make_shared<const Data>(image.data());
    }
  }
  if (const auto* textView = dynamic_cast<const ui::TextView*>(&view)) {
    node.text = textView->text();
    node.textColor = textView->textColor();
    const ui::Font font = textView->effectiveFont();
    node.fontFamily = font.family;
    node.fontSize = font.size;
    node.alignment = alignmentName(textView->textAlignment());
  }
  if (const auto* spinner = dynamic_cast<const ui::ActivityIndicator*>(&view)) {
    node.spinning = spinner->isAnimating();
  }
  if (const auto* web = dynamic_cast<const ui::WebView*>(&view)) {
    // The page belongs to the platform's engine, which the host supplies
    // and which keeps what it was given for the host to render.
    if (const auto* page = recordedPage(const_cast<ui::WebView&>(*web))) {
      const platform::WebContent content = page->content();
      node.webHtml = content.kind == platform::WebContent::Kind::html ? content.html : "";
      node.webBaseUrl = content.baseURL;
      node.webUrl = content.kind == platform::WebContent::Kind::request ? content.request.url : "";
    }
  }
}

Mirror::Mirror(const ui::View& window) : root_(window.identity()) {
  readNode(window, nodes_[root_]);
}

void Mirror::collect(const ui::View& view, std::uint64_t parent) {
  MirrorNode& node = nodes_[view.identity()];
  readNode(view, node);
  node.parent = parent;
  node.children.clear();
  for (const auto& child : view.subviews()) {
    node.children.push_back(child->identity());
    collect(*child, view.identity());
  }
}

void Mirror::remove(std::uint64_t id) {
  const auto it = nodes_.find(id);
  if (it == nodes_.end()) return;
  const auto children = it->second.children;
  nodes_.erase(it);
  for (auto child : children) remove(child);
}

void Mirror::viewAttached(const ui::View& view) {
  ++version_;
  const auto superview = view.superview();
  const std::uint64_t parent = superview ? superview->identity() : root_;
  collect(view, parent);
  if (const auto p = nodes_.find(parent); p != nodes_.end() && superview) {
    const auto& siblings = superview->subviews();
    const auto at = std::find_if(siblings.begin(), siblings.end(),
                                 [&](const auto& s) { return s.get() == &view; }) -
                    siblings.begin();
    auto& order = p->second.children;
    std::erase(order, view.identity());
    order.insert(order.begin() + std::min<std::ptrdiff_t>(at, std::ssize(order)), view.identity());
  }
  changes_.appeared.push_back(view.identity());
}

void Mirror::viewDetached(const ui::View& view) {
  ++version_;
  const auto it = nodes_.find(view.identity());
  if (it == nodes_.end()) return;
  // A subtree that came and went within one step is not worth a line.
  const auto appeared = std::find(changes_.appeared.begin(), changes_.appeared.end(), it->first);
  if (appeared != changes_.appeared.end()) {
    changes_.appeared.erase(appeared);
  } else {
    changes_.gone.push_back(describe(it->first));
  }
  // The view has left already: its former parent is what the mirror knows.
  if (auto p = nodes_.find(it->second.parent); p != nodes_.end()) {
    std::erase(p->second.children, view.identity());
  }
  remove(view.identity());
}

void Mirror::viewChanged(const ui::View& view, ui::ViewChange change) {
  ++version_;
  const auto it = nodes_.find(view.identity());
  if (it == nodes_.end()) return;
  readNode(view, it->second);
  if (change == ui::ViewChange::content) {
    it->second.children.clear();
    for (const auto& child : view.subviews()) it->second.children.push_back(child->identity());
  }
  ++changes_.changed;
}

bool Mirror::isVisible(const MirrorNode& node) const {
  for (const MirrorNode* at = &node; at; at = find(at->parent)) {
    if (at->hidden || at->alpha <= 0.01) return false;
    if (at->id == rootId()) return true;
  }
  return false;
}

const MirrorNode* Mirror::find(std::uint64_t id) const {
  const auto it = nodes_.find(id);
  return it == nodes_.end() ? nullptr : &it->second;
}

std::vector<std::uint64_t> Mirror::drawingOrder() const {
  std::vector<std::uint64_t> order;
  std::vector<std::uint64_t> stack{root_};
  while (!stack.empty()) {
    const std::uint64_t id = stack.back();
    stack.pop_back();
    const MirrorNode* node = find(id);
    if (!node) continue;
    order.push_back(id);
    for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) stack.push_back(*it);
  }
  return order;
}

std::string Mirror::describe(std::uint64_t id) const {
  const MirrorNode* root = find(id);
  if (!root) return "nothing";
  std::string text = label(*root);
  // The widgets inside, depth first, up to a handful.
  std::vector<std::string> inside;
  std::size_t count = 0;
  std::vector<std::uint64_t> stack(root->children.rbegin(), root->children.rend());
  while (!stack.empty()) {
    const MirrorNode* node = find(stack.back());
    stack.pop_back();
    if (!node) continue;
    ++count;
    if (isWidget(*node) || !node->restorationId.empty() || !node->accessibilityId.empty()) {
      if (inside.size() < 6) inside.push_back(label(*node));
    }
    stack.insert(stack.end(), node->children.rbegin(), node->children.rend());
  }
  if (count == 0) return text;
  text += " with " + std::to_string(count) + (count == 1 ? " view" : " views");
  if (!inside.empty()) {
    text += ":";
    for (std::size_t i = 0; i < inside.size(); ++i) text += (i ? ", " : " ") + inside[i];
  }
  return text;
}

Mirror::Changes Mirror::take() {
  return std::exchange(changes_, Changes{});
}

}  // namespace tavrino::sim
