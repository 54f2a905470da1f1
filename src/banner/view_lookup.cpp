#include "tavrino/util/view_lookup.hpp"

#include <vector>

namespace tavrino::Util {
namespace {

// Walks with a stack of its own: a host's tree may be deeper than the call
// stack allows.
std::shared_ptr<ui::View> findBelow(const std::shared_ptr<ui::View>& root,
                                    std::string_view identifier) {
  if (!root || identifier.empty()) return nullptr;
  std::vector<std::shared_ptr<ui::View>> pending(root->subviews().rbegin(),
                                                 root->subviews().rend());
  while (!pending.empty()) {
    auto view = std::move(pending.back());
    pending.pop_back();
    if (view->restorationIdentifier() == identifier) return view;
    const auto& below = view->subviews();
    pending.insert(pending.end(), below.rbegin(), below.rend());
  }
  return nullptr;
}

}  // namespace

std::shared_ptr<ui::View> returnViewByIdentifier(const std::shared_ptr<ui::View>& view,
                                                 std::string_view identifier) {
  if (auto found = findBelow(view, identifier)) return found;
  return ui::View::make();
}

bool hasSubViewWithIdentifier(const std::shared_ptr<ui::View>& view, std::string_view identifier) {
  return findBelow(view, identifier) != nullptr;
}

}  // namespace tavrino::Util
