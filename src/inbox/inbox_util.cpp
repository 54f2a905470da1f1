// The inbox members of Util.

#include "inbox/inbox_keys.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/inbox.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::Util {
namespace {

QivInbox appGroupInbox() {
  QivInbox inbox;
  inbox.setStoreName(readDefault(inbox::kGroupName));
  return inbox;
}

bool hasKey(const Value& object, std::string_view key) {
  return object.is_object() && object.contains(std::string(key));
}

}  // namespace

bool isEnabledAppInbox() {
  return readDefault(inbox::kEnableInbox) == "1";
}

void markAsReadInboxMessage(std::string_view id) {
  if (!isEnabledAppInbox()) return;
  appGroupInbox().markReadMessage(id);
}

std::string hasInboxMessage(const Value& object) {
  QivInbox inbox = appGroupInbox();
  if (!hasKey(object, inbox::kTimeout) || !hasKey(object, inbox::kId)) return "none";
  const std::string id = tryCatch(object, inbox::kId, "0");
  const std::string lifetimeText = tryCatch(object, inbox::kTimeout, "0");
  std::int64_t lifetime = 0;
  if (!parseInteger(lifetimeText, &lifetime) || lifetime < 1) {
    // A lifetime below one minute withdraws a message sent earlier.
    inbox.deleteMessage(id);
    return "delete";
  }
  if (!inbox.hasMessage(id)) return "write";
  if (hasKey(object, inbox::kUpdateId) &&
      inbox.hasMessage(tryCatch(object, inbox::kUpdateId, "0"))) {
    return "write";
  }
  return "none";
}

}  // namespace tavrino::Util
