#pragma once

// Presentation of "ui_sb" campaigns (banners and badges) once their show
// criteria passed. Each call uses a new object; it holds no state.
//
// Thread-safety: main thread only.

#include <memory>
#include <string>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/ui/view_controller.hpp"
#include "tavrino/value.hpp"

namespace tavrino {

class TAVRINO_EXPORT ui_sb {
 public:
  // client_map carries "_execcounter" for page-view campaigns.
  void setParameters(const Value& params, const std::shared_ptr<ui::ViewController>& view,
                     std::string_view link, const StringMap& client_map);
  static std::string getAISBadgeImageUrl(const Value& params);
};

}  // namespace tavrino
