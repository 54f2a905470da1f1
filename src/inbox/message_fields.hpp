#pragma once

// The twelve record properties and their map keys, in declaration order.

#include <array>
#include <string>
#include <string_view>

#include "inbox/inbox_keys.hpp"
#include "tavrino/inbox/qiv_inbox_message.hpp"
#include "tavrino/value.hpp"

namespace tavrino::inbox {

struct MessageField {
  std::string_view key;
  std::string QivInboxMessage::*property;
};

inline constexpr std::array<MessageField, 12> kMessageFields = {{
    {kId, &QivInboxMessage::id},
    {kUpdateId, &QivInboxMessage::updateId},
    {kTimeout, &QivInboxMessage::timeout},
    {kCategory, &QivInboxMessage::category},
    {kTitle, &QivInboxMessage::title},
    {kMessage, &QivInboxMessage::message},
    {kUrl, &QivInboxMessage::url},
    {kImageUrl, &QivInboxMessage::imageUrl},
    {kStatus, &QivInboxMessage::status},
    {kDate, &QivInboxMessage::date},
    {kChannel, &QivInboxMessage::channel},
    {kTimeoutDate, &QivInboxMessage::timeoutDate},
}};

// convertMessageObject() of a map that is no longer needed: its texts are
// moved into the record.
QivInboxMessage takeRecord(Value&& map);

}  // namespace tavrino::inbox
