#include "inbox/inbox_cache.hpp"

#include <unordered_map>

#include "core/keyed_archive.hpp"
#include "inbox/inbox_keys.hpp"
#include "inbox/inbox_time.hpp"
#include "inbox/message_fields.hpp"
#include "tavrino/platform/suite_changes.hpp"

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

std::shared_ptr<InboxCache> InboxCache::of(
    const std::shared_ptr<platform::UserDefaultsSuite>& suite) {
  static std::mutex registryMu;
  static std::unordered_map<std::string, std::shared_ptr<InboxCache>> registry;
  std::lock_guard lock(registryMu);
  std::shared_ptr<InboxCache>& cache = registry[suite->name()];
  if (!cache || cache->suite_.lock() != suite) {
    cache = std::make_shared<InboxCache>();
    cache->suite_ = suite;
  }
  return cache;
}

bool InboxCache::sync(platform::UserDefaultsSuite& suite) {
  if (count_ && *count_ == suite.changeCount()) return false;
  if (count_ && takeChanges(suite)) return false;
  // Both sides are in key order: one merge walk, decoding only what differs.
  ++walks_;
  bool differs = false;
  auto it = entries_.begin();
  const std::uint64_t seen =
      suite.forEachEntry(kEntryPrefix, [&](std::string_view key, const Value& value) {
        const std::string_view keyId = key.substr(kEntryPrefix.size());
        while (it != entries_.end() && it->first < keyId) {
          it = eraseAt(it);
          differs = true;
        }
        if (it != entries_.end() && it->first == keyId) {
          if (it->second.stored == value) {
            ++it;
            return;
          }
          it = eraseAt(it);
        }
        ++decodes_;
        it = std::next(insertAt(it, keyId, value, decodeEntry(value)));
        differs = true;
      });
  while (it != entries_.end()) {
    it = eraseAt(it);
    differs = true;
  }
  if (differs) changed();
  count_ = seen;
  return true;
}

bool InboxCache::takeChanges(platform::UserDefaultsSuite& suite) {
  auto* changes = dynamic_cast<platform::SuiteChanges*>(&suite);
  if (changes == nullptr) return false;
  bool differs = false;
  const std::optional<std::uint64_t> reached = changes->forEachChangeSince(
      *count_, kEntryPrefix, [&](std::string_view key, const Value* value) {
        const std::string_view keyId = key.substr(kEntryPrefix.size());
        auto it = entries_.lower_bound(keyId);
        const bool cached = it != entries_.end() && it->first == keyId;
        if (cached && value != nullptr && it->second.stored == *value) return;
        if (cached) it = eraseAt(it);
        differs = true;
        if (value == nullptr) return;
        ++decodes_;
        insertAt(it, keyId, *value, decodeEntry(*value));
      });
  if (differs) changed();  // the suite visits nothing when it cannot tell
  if (!reached) return false;
  ++catchUps_;
  count_ = *reached;
  return true;
}

const InboxCache::Entry* InboxCache::find(std::string_view keyId) const {
  const auto it = entries_.find(keyId);
  return it == entries_.end() ? nullptr : &it->second;
}

void InboxCache::put(std::string_view keyId, Value stored, QivInboxMessage record) {
  changed();
  auto it = entries_.lower_bound(keyId);
  if (it != entries_.end() && it->first == keyId) it = eraseAt(it);
  insertAt(it, keyId, std::move(stored), std::move(record));
}

bool InboxCache::erase(std::string_view keyId) {
  const auto it = entries_.find(keyId);
  if (it == entries_.end()) return false;
  changed();
  eraseAt(it);
  return true;
}

InboxCache::Entries::iterator InboxCache::insertAt(Entries::iterator hint, std::string_view keyId,
                                                   Value stored, QivInboxMessage record) {
  Entry entry{std::move(stored), std::move(record), 0};
  entry.expiry = expiryValue(entry.record);
  auto it = entries_.emplace_hint(hint, std::string(keyId), std::move(entry));
  account(it->first, it->second, +1);
  return it;
}

InboxCache::Entries::iterator InboxCache::eraseAt(Entries::iterator it) {
  account(it->first, it->second, -1);
  return entries_.erase(it);
}

void InboxCache::account(const std::string& keyId, const Entry& entry, int delta) {
  if (delta > 0) {
    byExpiry_.emplace(entry.expiry, keyId);
  } else {
    byExpiry_.erase({entry.expiry, keyId});
  }
  const std::string& status = entry.record.status;
  if (status.empty()) return;
  // Statuses whose count drops to 0 leave the maps, as a fresh count would.
  const auto add = [&](QivInbox::Counts& counts) {
    if ((counts[status] += delta) == 0) counts.erase(status);
  };
  add(counts_);
  auto category = countsByCategory_.try_emplace(entry.record.category).first;
  add(category->second);
  if (category->second.empty()) countsByCategory_.erase(category);
}

std::optional<std::string> InboxCache::earliestExpiry() const {
  if (byExpiry_.empty()) return std::nullopt;
  return byExpiry_.begin()->second;
}

std::vector<std::string> InboxCache::expiredBefore(std::int64_t now) const {
  std::vector<std::string> keyIds;
  for (const auto& [expiry, keyId] : byExpiry_) {
    if (expiry >= now) break;
    keyIds.push_back(keyId);
  }
  return keyIds;
}

QivInbox::Counts InboxCache::counts(const std::optional<std::string>& category) const {
  if (!category) return counts_;
  const auto it = countsByCategory_.find(*category);
  return it == countsByCategory_.end() ? QivInbox::Counts{} : it->second;
}

const std::vector<QivInboxMessage>& InboxCache::records() {
  if (!listing_) {
    listing_.emplace();
    listing_->reserve(entries_.size());
    for (const auto& [keyId, entry] : entries_) listing_->push_back(entry.record);
  }
  return *listing_;
}

}  // namespace tavrino::inbox
