#include "inbox/message_archive.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "inbox/message_fields.hpp"
#include "tavrino/util/json_helpers.hpp"

namespace tavrino::inbox {
namespace {

// The fields in the order a map of texts keeps its keys: byte order.
const std::array<MessageField, kMessageFields.size()>& fieldsInKeyOrder() {
  static const auto sorted = [] {
    auto fields = kMessageFields;
    std::sort(fields.begin(), fields.end(),
              [](const MessageField& a, const MessageField& b) { return a.key < b.key; });
    return fields;
  }();
  return sorted;
}

// The head of a CBOR item of major type major and argument n, in its
// shortest form (as the value library writes it).
void putHead(Data& out, std::uint8_t major, std::uint64_t n) {
  const auto type = static_cast<std::uint8_t>(major << 5);
  int bytes = 0;
  if (n < 24) {
    out.push_back(static_cast<std::uint8_t>(type | n));
  } else if (n <= 0xff) {
    out.push_back(type | 24);
    bytes = 1;
  } else if (n <= 0xffff) {
    out.push_back(type | 25);
    bytes = 2;
  } else if (n <= 0xffffffff) {
    out.push_back(type | 26);
    bytes = 4;
  } else {
    out.push_back(type | 27);
    bytes = 8;
  }
  for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) {
    out.push_back(static_cast<std::uint8_t>(n >> shift));
  }
}

void putText(Data& out, std::string_view text) {
  constexpr std::uint8_t kText = 3;
  putHead(out, kText, text.size());
  out.insert(out.end(), text.begin(), text.end());
}

}  // namespace

QivInboxMessage normalisedRecord(const Value& message) {
  QivInboxMessage record;
  for (const auto& field : kMessageFields) {
    const bool zeroDefault =
        field.key == kTimeout || field.key == kDate || field.key == kTimeoutDate;
    record.*field.property = Util::tryCatch(message, field.key, zeroDefault ? "0" : "");
  }
  return record;
}

QivInboxMessage normalisedRecord(QivInboxMessage record) {
  for (const auto& field : kMessageFields) {
    std::string& text = record.*field.property;
    if (!text.empty() && text != " ") continue;
    const bool zeroDefault =
        field.key == kTimeout || field.key == kDate || field.key == kTimeoutDate;
    text = zeroDefault ? "0" : "";
  }
  return record;
}

Data archiveRecord(const QivInboxMessage& record) {
  constexpr std::uint8_t kMap = 5;
  std::size_t size = 1;
  for (const auto& field : kMessageFields) {
    size += 9 + field.key.size() + 9 + (record.*field.property).size();
  }
  Data out;
  out.reserve(size);
  putHead(out, kMap, kMessageFields.size());
  for (const auto& field : fieldsInKeyOrder()) {
    putText(out, field.key);
    putText(out, record.*field.property);
  }
  return out;
}

}  // namespace tavrino::inbox
