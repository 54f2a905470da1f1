// Action buttons of a notification: one category per campaign, kept with the
// earlier ones so that notifications still on screen keep their buttons.

#include "push/extension_buttons.hpp"

#include <algorithm>
#include <string>

#include "push/payload_fields.hpp"
#include "tavrino/client.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::push {
namespace {

constexpr std::string_view kCategoriesKey = "_ntf_categories";

platform::NotificationAction decodeAction(const Value& stored) {
  platform::NotificationAction action;
  action.identifier = textEntry(stored, "identifier").value_or("");
  action.title = textEntry(stored, "title").value_or("");
  const Value* options = member(stored, "options");
  if (options != nullptr && options->is_number_unsigned()) {
    action.options = options->get<platform::NotificationActionOptions>();
  }
  return action;
}

std::string textOr(const Value& map, std::string_view key, std::string_view fallback) {
  const auto text = textEntry(map, key);
  return text && !text->empty() ? *text : std::string(fallback);
}

}  // namespace

std::vector<platform::NotificationCategory> decodeCategories(const Value& stored) {
  std::vector<platform::NotificationCategory> categories;
  if (!stored.is_array()) {
    if (!stored.is_null()) logSkippedEntry(kCategoriesKey);
    return categories;
  }
  for (const Value& entry : stored) {
    const Value* identifier = member(entry, "identifier");
    if (identifier == nullptr || !identifier->is_string()) continue;
    platform::NotificationCategory category;
    category.identifier = identifier->get<std::string>();
    if (const Value* options = member(entry, "options");
        options != nullptr && options->is_number_unsigned()) {
      category.options = options->get<platform::NotificationCategoryOptions>();
    }
    if (const Value* actions = member(entry, "actions");
        actions != nullptr && actions->is_array()) {
      for (const Value& action : *actions) {
        if (action.is_object()) category.actions.push_back(decodeAction(action));
      }
    }
    addCategory(categories, std::move(category));
  }
  return categories;
}

Value encodeCategories(const std::vector<platform::NotificationCategory>& categories) {
  Value list = Value::array();
  for (const auto& category : categories) {
    Value actions = Value::array();
    for (const auto& action : category.actions) {
      actions.push_back({{"identifier", action.identifier},
                         {"title", action.title},
                         {"options", action.options}});
    }
    list.push_back({{"identifier", category.identifier},
                    {"options", category.options},
                    {"actions", std::move(actions)}});
  }
  return list;
}

void addCategory(std::vector<platform::NotificationCategory>& categories,
                 platform::NotificationCategory category) {
  std::erase_if(categories, [&](const platform::NotificationCategory& existing) {
    return existing.identifier == category.identifier;
  });
  categories.push_back(std::move(category));
  if (categories.size() > kMaxStoredCategories) {
    categories.erase(categories.begin(),
                     categories.end() - static_cast<std::ptrdiff_t>(kMaxStoredCategories));
  }
}

}  // namespace tavrino::push

namespace tavrino {

void Tavrino::addActionButtons(std::string_view inboxname, const Value& buttons,
                               std::string_view newCategory,
                               platform::MutableNotificationContent& content) {
  platform::NotificationCategory category;
  category.identifier = std::string(newCategory);
  category.options = platform::category_option::customDismissAction;
  if (buttons.is_array()) {
    for (const Value& button : buttons) {
      if (!button.is_object()) {
        push::logSkippedEntry("actionButtons");
        continue;
      }
      category.actions.push_back({push::textOr(button, "id", "0"),
                                  push::textEntry(button, "title").value_or(""),
                                  platform::action_option::foreground});
    }
  } else {
    push::logSkippedEntry("actionButtons");
  }

  // Without an app group the categories live with the SDK's own settings.
  const bool hasGroup = !inboxname.empty() && inboxname != "notset";
  auto suite = hasGroup ? platform::current().userDefaults().suite(inboxname) : Util::qivDefaults();
  std::vector<platform::NotificationCategory> categories;
  // The app and its extension both add categories: read, add and write back
  // as one transaction so that neither loses the other's.
  const bool stored = suite->transaction([&] {
    categories = push::decodeCategories(suite->object(push::kCategoriesKey).value_or(Value()));
    push::addCategory(categories, category);
    suite->set(push::kCategoriesKey, push::encodeCategories(categories));
  });
  if (!stored) QivUtil::addLog("notification categories not stored : " + std::string(newCategory));
  // Also when the suite could not begin: the new category still gets its buttons.
  push::addCategory(categories, std::move(category));
  platform::current().userNotificationCenter().setNotificationCategories(categories);
  content.categoryIdentifier = std::string(newCategory);
}

}  // namespace tavrino
