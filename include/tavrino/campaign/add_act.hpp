#pragma once

// Actions: campaigns of function "add_act". Each call uses a new object; it
// holds no state.
//
// Thread-safety: main thread only.

#include <cstdint>
#include <memory>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/platform/user_defaults.hpp"
#include "tavrino/ui/view_controller.hpp"
#include "tavrino/value.hpp"

namespace tavrino {

class TAVRINO_EXPORT add_act {
 public:
  void execute(const Value& params, std::string_view baselink,
               const std::shared_ptr<ui::ViewController>& view, const StringMap& client_map);
  // The same with a new, empty view controller as view.
  void execute(const Value& params, std::string_view baselink, const StringMap& client_map);

  void checkAction(std::string_view ilcc, std::string_view e, std::string_view di,
                   std::string_view pt, std::string_view v, std::string_view id,
                   std::string_view to, std::string_view lv, std::string_view link,
                   std::int64_t time, platform::UserDefaultsSuite& preferences, const Value& params,
                   const std::shared_ptr<ui::ViewController>& view, const StringMap& client_map);
};

}  // namespace tavrino
