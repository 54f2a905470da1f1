#pragma once

// The action categories that the extension keeps under "_ntf_categories",
// in the stored form: a list of maps {"identifier", "options", "actions":
// [{"identifier", "title", "options"}]}, oldest first.

#include <cstddef>
#include <vector>

#include "tavrino/platform/user_notification_center.hpp"
#include "tavrino/value.hpp"

namespace tavrino::push {

// The newest categories kept: notifications still on screen keep working
// buttons while the stored set stays small.
inline constexpr std::size_t kMaxStoredCategories = 64;

// The categories of a stored value; entries that are not categories are
// dropped, anything that is not a list gives none.
std::vector<platform::NotificationCategory> decodeCategories(const Value& stored);
Value encodeCategories(const std::vector<platform::NotificationCategory>& categories);

// Adds category as the newest one, replacing one of the same identifier, and
// drops the oldest beyond kMaxStoredCategories.
void addCategory(std::vector<platform::NotificationCategory>& categories,
                 platform::NotificationCategory category);

}  // namespace tavrino::push
