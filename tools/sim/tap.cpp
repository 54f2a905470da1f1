// A tap as a host toolkit delivers one: the view is found in the mirror by
// what the user sees of it, and the toolkit reports the tap through the
// public API: a button's touch-up-inside, a tap recogniser firing, or a link
// activated inside a web view, reported to the page's delegate.

#include "sim/player.hpp"
#include "sim/sim_web_engine.hpp"
#include "tavrino/ui/button.hpp"
#include "tavrino/ui/gesture_recognizer.hpp"
#include "tavrino/ui/web_view.hpp"

namespace tavrino::sim {
namespace {

bool contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

bool matches(const MirrorNode& node, const TapStep& tap) {
  if (tap.kind && node.kind != *tap.kind) return false;
  if (tap.title && node.title != *tap.title) return false;
  if (tap.image && (node.imageWidth > 0) != *tap.image) return false;
  if (tap.id && node.accessibilityId != *tap.id && node.restorationId != *tap.id) return false;
  if (tap.text && !contains(node.title, *tap.text) && !contains(node.text, *tap.text) &&
      !contains(node.webHtml, *tap.text)) {
    return false;
  }
  return true;
}

// The live view with that identity under root; the mirror only knows ids.
std::shared_ptr<ui::View> liveView(const std::shared_ptr<ui::View>& root, std::uint64_t id) {
  if (root->identity() == id) return root;
  for (const auto& child : root->subviews()) {
    if (auto found = liveView(child, id)) return found;
  }
  return nullptr;
}

std::shared_ptr<ui::TapGestureRecognizer> tapRecognizerOf(const ui::View& view) {
  for (const auto& recognizer : view.gestureRecognizers()) {
    if (auto tap = std::dynamic_pointer_cast<ui::TapGestureRecognizer>(recognizer)) return tap;
  }
  return nullptr;
}

}  // namespace

void Player::doTap(const TapStep& step) {
  const Mirror& mirror = host_.mirror();
  // Front to back: the reverse of drawing order.
  const auto order = mirror.drawingOrder();
  std::vector<const MirrorNode*> found;
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    const MirrorNode* node = mirror.find(*it);
    if (node && matches(*node, step) && mirror.isVisible(*node)) found.push_back(node);
  }
  if (found.size() <= static_cast<std::size_t>(step.index)) {
    return warn("no view on screen to tap: " + describe(Step{step, {}}) + " (" +
                std::to_string(found.size()) + " matching)");
  }
  const MirrorNode& target = *found[static_cast<std::size_t>(step.index)];
  auto view = liveView(host_.window(), target.id);
  if (!view) return warn("the tapped view is gone from the window");

  if (step.link) {
    auto web = std::dynamic_pointer_cast<ui::WebView>(view);
    if (!web) return warn("a link is tapped inside a web view, not a " + target.kind);
    timeline_.emit(EntryKind::host,
                   "link " + *step.link + " activated in " + mirror.describe(target.id));
    const platform::NavigationAction action{platform::NavigationType::linkActivated, *step.link};
    const auto decided = [this](platform::NavigationPolicy policy) {
      timeline_.emit(EntryKind::sdk, policy == platform::NavigationPolicy::allow
                                         ? "web view navigation allowed"
                                         : "web view navigation cancelled");
    };
    // A real engine's page reports the click to the web view's delegate.
    if (auto* page = recordedPage(*web)) {
      page->reportNavigationAction(action, decided);
    } else if (auto delegate = web->navigationDelegate()) {
      delegate->decidePolicyFor(*web, action, decided);
    }
    return;
  }
  // The toolkit hands the tap to the innermost view that takes one.
  for (auto at = view; at; at = at->superview()) {
    if (auto button = std::dynamic_pointer_cast<ui::Button>(at)) {
      timeline_.emit(EntryKind::host, "touch up inside " + mirror.describe(at->identity()));
      if (!button->sendTouchUpInside()) warn("the button did not take the tap");
      return;
    }
    if (auto recognizer = tapRecognizerOf(*at)) {
      timeline_.emit(EntryKind::host, "tap recognised on " + mirror.describe(at->identity()));
      const ui::Rect frame = at->frame();
      if (!recognizer->fire({frame.width() / 2, frame.height() / 2})) {
        warn("the tap recogniser did not fire");
      }
      return;
    }
  }
  warn("nothing at " + mirror.describe(target.id) + " takes a tap");
}

}  // namespace tavrino::sim
