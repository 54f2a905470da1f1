#pragma once

// Labels: campaigns of function "add_lbl". Each call uses a new object; it
// holds no state.
//
// Thread-safety: main thread only.

#include <cstdint>
#include <memory>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/ui/view_controller.hpp"
#include "tavrino/value.hpp"

namespace tavrino {

class TAVRINO_EXPORT add_lbl {
 public:
  void execute(const Value& params, const StringMap& client_map,
               const std::shared_ptr<ui::ViewController>& view);

  void checkLabel(std::string_view ilcc, std::string_view e, std::string_view di,
                  std::string_view pt, std::string_view v, std::string_view id, std::string_view to,
                  std::string_view lv, std::int64_t time, std::string_view request,
                  const std::shared_ptr<ui::ViewController>& view, const Value& params,
                  const StringMap& client_map);
};

}  // namespace tavrino
