#pragma once

// Writes of a page view. Most keys hold the same text page view after page
// view: a write that changes nothing is skipped, so the page view's one
// commit carries only what changed. Inside the page view's transaction the
// comparison reads the latest state of every process, so nothing is lost.

#include <string_view>

#include "tavrino/platform/user_defaults.hpp"
#include "tavrino/value.hpp"

namespace tavrino::pageview {

inline void setText(platform::UserDefaultsSuite& store, std::string_view key,
                    std::string_view text) {
  const auto current = store.object(key);
  if (current && current->is_string() && current->get_ref<const std::string&>() == text) return;
  store.set(key, Value(std::string(text)));
}

inline void removeKey(platform::UserDefaultsSuite& store, std::string_view key) {
  if (store.object(key)) store.remove(key);
}

}  // namespace tavrino::pageview
