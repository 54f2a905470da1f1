// Presentation of banner and badge campaigns that passed their criteria.

#include "tavrino/campaign/ui_sb.hpp"

#include "tavrino/qiv_util.hpp"
#include "tavrino/util/json_helpers.hpp"

namespace tavrino {

void ui_sb::setParameters(const Value&, const std::shared_ptr<ui::ViewController>&,
                          std::string_view, const StringMap&) {
  QivUtil::addLog("ui_sb setParameters called.");
}

std::string ui_sb::getAISBadgeImageUrl(const Value& params) {
  const Value images = Util::parseJSONArray(std::string_view(Util::tryCatch(params, "sub", "")));
  if (images.empty()) return {};
  return Util::tryCatch(images.back(), "p", "");
}

}  // namespace tavrino
