// The message map of a notification payload.

#include <random>
#include <string>

#include "core/shared_configuration.hpp"
#include "inbox/inbox_keys.hpp"
#include "inbox/inbox_time.hpp"
#include "tavrino/inbox/qiv_inbox_helper.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/util/json_helpers.hpp"

namespace tavrino {
namespace {

// Returns the member of map under key, or null when map is no map or lacks it.
const Value* member(const Value& map, std::string_view key) {
  if (!map.is_object()) return nullptr;
  const auto it = map.find(std::string(key));
  return it == map.end() ? nullptr : &*it;
}

void copyText(const Value& from, std::string_view fromKey, StringMap& to, std::string_view toKey) {
  const Value* value = member(from, fromKey);
  if (value != nullptr && value->is_string()) {
    to[std::string(toKey)] = value->get_ref<const std::string&>();
  }
}

int randomFrom1To100() {
  thread_local std::mt19937 engine{std::random_device{}()};
  return std::uniform_int_distribution<int>(1, 100)(engine);
}

}  // namespace

StringMap QivInboxHelper::convertMessageObjectFromPush(const Value& props) const {
  using namespace inbox;
  StringMap map;
  map[std::string(kChannel)] = "push";

  const Value* status = member(props, kStatus);
  if (status == nullptr || status->is_null()) {
    map[std::string(kStatus)] = kStatusUnread;
  } else {
    map[std::string(kStatus)] = describe(*status);
  }

  copyText(props, kId, map, kId);
  const Value* label = member(props, "campaign_label");
  if (label != nullptr && label->is_string() && label->get_ref<const std::string&>() == "api") {
    map[std::string(kChannel)] = "push_api";
    // API pushes reuse one id for many sends; each needs an entry of its own.
    const Value* id = member(props, kId);
    if (id != nullptr && !id->is_null()) {
      map[std::string(kId)] =
          describe(*id) + std::to_string(nowSeconds()) + std::to_string(randomFrom1To100());
    }
  }

  copyText(props, kCategory, map, kCategory);
  std::int64_t lifetime = 0;
  if (!parseInteger(Util::tryCatch(props, kTimeout, "0"), &lifetime)) lifetime = 0;
  copyText(props, kTimeout, map, kTimeout);
  map[std::string(kTimeoutDate)] = std::to_string(afterMinutes(nowSeconds(), lifetime));
  map[std::string(kDate)] = std::to_string(nowSeconds());

  if (const Value* aps = member(props, "aps")) {
    const Value* alert = member(*aps, "alert");
    if (alert != nullptr && alert->is_object()) {
      copyText(*alert, "title", map, kTitle);
      copyText(*alert, "body", map, kMessage);
    } else if (alert != nullptr && alert->is_string()) {
      map[std::string(kMessage)] = alert->get_ref<const std::string&>();
    }
  }
  copyText(props, "m", map, kImageUrl);
  copyText(props, "l", map, kUrl);

  platform::current().log().console("tavrino_log --> prepared message map : " +
                                    describe(Value(map)));
  recordStep("inbox message serialized");
  return map;
}

}  // namespace tavrino
