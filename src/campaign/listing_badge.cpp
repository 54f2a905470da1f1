// Listing badges: the badge definitions that banner campaigns registered,
// laid over the host's item views. The host's activation waits for the page
// view's answer.

#include <exception>
#include <string>

#include "campaign/host_calls.hpp"
#include "core/shared_configuration.hpp"
#include "tavrino/banner/badge_definitions.hpp"
#include "tavrino/banner/pop_up_controller.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/invocation.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/view_lookup.hpp"
#include "tracking/tracking.hpp"

namespace tavrino {
namespace {

constexpr std::string_view kBadgeIdentifier = "qiv_badge";

Value memberOr(const Value& map, const char* key, Value fallback) {
  if (!map.is_object()) return fallback;
  const auto found = map.find(key);
  return found == map.end() ? fallback : *found;
}

// The badge text of one item: "$$FORMATTED$$" becomes the item's price in
// the definition's price format (the "y" entry of its style map), or
// nothing when the definition has none.
std::string badgeText(const Value& definition, const Value& style, const Value& item) {
  std::string text = Util::tryCatch(definition, "campaign_message", "");
  constexpr std::string_view placeholder = "$$FORMATTED$$";
  if (text.find(placeholder) == std::string::npos) return text;
  const bool formatted = style.is_object() && style.contains("y");
  const std::string price =
      formatted ? tracking::numberFormat(style, Util::tryCatch(item, "p", "0")) : std::string();
  for (auto at = text.find(placeholder); at != std::string::npos;
       at = text.find(placeholder, at + price.size())) {
    text.replace(at, placeholder.size(), price);
  }
  return text;
}

// Lays the definition's badge over the item's view, in place of an earlier
// one; an item the host shows no view for gets none.
void badgeItem(const std::shared_ptr<ui::View>& root, const Value& definition,
               const std::optional<ui::Image>& image, const Value& item, const std::string& id) {
  const std::string identifier = Util::tryCatch(definition, "selector", "") + id;
  const auto itemView = Util::returnViewByIdentifier(root, identifier);
  if (identifier.empty() || itemView->restorationIdentifier() != identifier) return;

  const Value style = memberOr(definition, "style", Value::object());
  const ui::Size size = itemView->frame().size;
  auto badge = ui::View::make(ui::Rect::make(0, 0, size.width, size.height));
  popUpController::setBadgeContent(badge, Util::tryCatch(definition, "function", "0"),
                                   badgeText(definition, style, item), style, image);
  const auto subviews = itemView->subviews();
  for (const auto& earlier : subviews) {
    if (earlier->restorationIdentifier() == kBadgeIdentifier) earlier->removeFromSuperview();
  }
  badge->setRestorationIdentifier(std::string(kBadgeIdentifier));
  QivUtil::addLog("add badge to : " + identifier);
  itemView->addSubview(badge);
}

// Tells the host which of the listed items the definition badged.
void reportBadgedItems(const Value& definition, const std::string& list,
                       const campaign::ViewControllerPtr& view) {
  const Value run = memberOr(definition, "run", Value());
  if (!run.is_object()) return;
  std::string className = Util::tryCatch(run, "inline_class", "");
  const std::string method = Util::tryCatch(run, "inline_function", "");
  if (className.empty() && view) className = view->className();
  const Value map = {{"qivlid", list}};
  QivUtil::addLog("checklist set map : " + list);
  if (method.empty()) return;
  QivUtil::addLog("invoke related method : " + method);
  Util::invokeSomeMethod(method, map, className, view);
}

void layDefinition(const std::string& key, const Value& definition, const Value& items,
                   const campaign::ViewControllerPtr& view) {
  const Value ids = memberOr(definition, "ids", Value::object());
  // Image badges show the image their campaign fetched, when it had one.
  std::optional<ui::Image> image = banner::BadgeDefinitions::shared().image(key);
  if (image->isEmpty()) image.reset();
  const auto root = view ? view->view() : nullptr;
  std::string list;
  for (const auto& item : items) {
    const std::string id = Util::tryCatch(item, "i", "0");
    if (!ids.is_object() || !ids.contains(id)) continue;
    list += id + ",";
    badgeItem(root, definition, image, item, id);
  }
  if (!list.empty()) list.pop_back();
  reportBadgedItems(definition, list, view);
}

}  // namespace

void campaign::activateListingBadge(const ViewControllerPtr& view, const StringMap& localmap) {
  QivUtil::addLog("activateListingBadge metot triggered");
  const bool queued = processState().withCampaign([&](CampaignState& c) {
    if (c.responseReady) return false;
    c.pendingBadgeRequested = true;
    c.pendingBadgeMaps.push_back(localmap);
    return true;
  });
  if (queued) {
    QivUtil::addLog("d response not ready");
    return;
  }
  const auto qivlid = localmap.find("qivlid");
  if (qivlid == localmap.end()) return;
  try {
    const Value items = Util::parseJSONArray(std::string_view(qivlid->second));
    const Value definitions = banner::BadgeDefinitions::shared().all();
    for (const auto& [key, definition] : definitions.items()) {
      layDefinition(key, definition, items, view);
    }
  } catch (const std::exception& e) {
    QivUtil::addLog(std::string("activateListingBadge failed : ") + e.what());
  }
}

}  // namespace tavrino
