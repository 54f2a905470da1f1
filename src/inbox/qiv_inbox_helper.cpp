// Conversions between the record and the stored map.

#include "tavrino/inbox/qiv_inbox_helper.hpp"

#include "inbox/message_fields.hpp"
#include "tavrino/util/json_helpers.hpp"

namespace tavrino {

namespace inbox {

QivInboxMessage takeRecord(Value&& map) {
  QivInboxMessage record;
  if (!map.is_object() || !map.contains(std::string(kId))) return record;
  for (const auto& field : kMessageFields) {
    const auto it = map.find(std::string(field.key));
    if (it == map.end()) continue;
    if (it->is_string()) {
      record.*field.property = std::move(it->get_ref<std::string&>());
    } else if (field.key == kDate || field.key == kTimeoutDate) {
      record.*field.property = std::string("0");
    }
  }
  return record;
}

}  // namespace inbox

QivInboxMessage QivInboxHelper::convertMessageObject(const Value& map) const {
  return inbox::takeRecord(Value(map));
}

StringMap QivInboxHelper::convertDictionary(const QivInboxMessage& message) const {
  StringMap map;
  for (const auto& field : inbox::kMessageFields) {
    map.emplace(field.key, message.*field.property);
  }
  return map;
}

StringMap QivInboxHelper::createMessageMap(const Value& map) const {
  StringMap normalised;
  for (const auto& field : inbox::kMessageFields) {
    const bool zeroDefault = field.key == inbox::kTimeout || field.key == inbox::kDate ||
                             field.key == inbox::kTimeoutDate;
    normalised.emplace(field.key, Util::tryCatch(map, field.key, zeroDefault ? "0" : ""));
  }
  return normalised;
}

}  // namespace tavrino
