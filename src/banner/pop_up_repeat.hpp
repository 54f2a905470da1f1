#pragma once

// The repeat rule of custom-event banners: each banner shown for a custom
// event raises the event again, up to "maxrepeat" times in a row, counting in
// the store under "_cir".

#include <memory>

#include "tavrino/ui/view_controller.hpp"
#include "tavrino/value.hpp"

namespace tavrino::banner {

inline constexpr std::string_view kRepeatCountKey = "_cir";
// A "maxrepeat" that is no whole number.
inline constexpr std::int64_t kDefaultMaxRepeat = 50;

void repeatCustomEvent(const Value& params, const std::shared_ptr<ui::ViewController>& view,
                       const StringMap& client_map);

}  // namespace tavrino::banner
