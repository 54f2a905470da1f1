#include "inbox/inbox_listing.hpp"

#include <limits>

#include "core/keyed_archive.hpp"
#include "inbox/inbox_keys.hpp"
#include "inbox/inbox_time.hpp"
#include "inbox/message_fields.hpp"

namespace tavrino::inbox {

QivInboxMessage decodeEntry(const Value& stored) {
  if (!stored.is_binary()) return {};
  std::optional<Value> map = unarchiveDictionary(stored.get_binary());
  if (!map) return {};
  return takeRecord(std::move(*map));
}

Value encodeEntry(const StringMap& map) {
  return Value::binary(archiveDictionary(Value(map)));
}

std::string entryKey(std::string_view id) {
  std::string key(kEntryPrefix);
  key.append(id);
  return key;
}

InboxListing::InboxListing(platform::UserDefaultsSuite& suite) : suite_(suite) {
  for (auto& [key, value] : suite_.dictionaryRepresentation()) {
    if (!key.starts_with(kEntryPrefix)) continue;
    entries_.push_back(
        Entry{key.substr(kEntryPrefix.size()), std::move(value), std::nullopt, false});
  }
  live_ = entries_.size();
}

QivInboxMessage& InboxListing::record(Entry& entry) {
  if (!entry.record) entry.record = decodeEntry(entry.stored);
  return *entry.record;
}

std::unordered_map<std::string, std::size_t>& InboxListing::index() {
  if (!index_) {
    index_.emplace();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      if (!entries_[i].removed) index_->emplace(entries_[i].keyId, i);
    }
  }
  return *index_;
}

void InboxListing::forEach(
    const std::function<void(const std::string&, const QivInboxMessage&)>& fn) {
  for (auto& entry : entries_) {
    if (!entry.removed) fn(entry.keyId, record(entry));
  }
}

std::vector<QivInboxMessage> InboxListing::takeRecords(
    const std::function<bool(const QivInboxMessage&)>& selects) {
  std::vector<QivInboxMessage> records;
  records.reserve(live_);
  for (auto& entry : entries_) {
    if (entry.removed || !selects(record(entry))) continue;
    records.push_back(std::move(*entry.record));
    entry.record.reset();
  }
  return records;
}

bool InboxListing::contains(std::string_view keyId) {
  return index().find(std::string(keyId)) != index().end();
}

std::optional<std::string> InboxListing::earliestExpiry() {
  const Entry* earliest = nullptr;
  std::int64_t earliestValue = std::numeric_limits<std::int64_t>::max();
  for (auto& entry : entries_) {
    if (entry.removed) continue;
    const std::int64_t value = expiryValue(record(entry));
    if (earliest == nullptr || value < earliestValue) {
      earliest = &entry;
      earliestValue = value;
    }
  }
  if (earliest == nullptr) return std::nullopt;
  return earliest->keyId;
}

void InboxListing::store(const std::string& keyId, const StringMap& map) {
  Value stored = encodeEntry(map);
  suite_.set(entryKey(keyId), stored);
  QivInboxMessage record = takeRecord(Value(map));
  if (auto it = index().find(keyId); it != index().end()) {
    Entry& entry = entries_[it->second];
    entry.stored = std::move(stored);
    entry.record = std::move(record);
    return;
  }
  index().emplace(keyId, entries_.size());
  entries_.push_back(Entry{keyId, std::move(stored), std::move(record), false});
  ++live_;
}

bool InboxListing::remove(std::string_view keyId) {
  const std::string key = entryKey(keyId);
  const bool existed = suite_.object(key).has_value();
  if (existed) suite_.remove(key);
  if (auto it = index().find(std::string(keyId)); it != index().end()) {
    Entry& entry = entries_[it->second];
    entry.removed = true;
    entry.stored = nullptr;
    entry.record.reset();
    index().erase(it);
    --live_;
  }
  return existed;
}

std::map<std::string, std::int64_t> InboxListing::countsByStatus(
    const std::optional<std::string>& category) {
  std::map<std::string, std::int64_t> counts;
  for (auto& entry : entries_) {
    if (entry.removed) continue;
    const QivInboxMessage& message = record(entry);
    if (message.status.empty()) continue;
    if (category && message.category != *category) continue;
    ++counts[message.status];
  }
  return counts;
}

}  // namespace tavrino::inbox
