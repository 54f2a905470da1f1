#pragma once

// Finding the host's views by restoration identifier, the way campaigns name
// them (inline frames, listing badges).
//
// Thread-safety: main thread only, like the views.

#include <memory>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/ui/view.hpp"

namespace tavrino::Util {

// The first view below view (depth first, in subview order, view itself not
// included) whose restoration identifier is identifier; a new empty view,
// in no tree, when none is. An empty identifier names no view.
TAVRINO_EXPORT std::shared_ptr<ui::View> returnViewByIdentifier(
    const std::shared_ptr<ui::View>& view, std::string_view identifier);

// Returns true iff some view below view has that restoration identifier.
TAVRINO_EXPORT bool hasSubViewWithIdentifier(const std::shared_ptr<ui::View>& view,
                                             std::string_view identifier);

}  // namespace tavrino::Util
