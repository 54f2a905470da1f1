#include "inbox/inbox_listing.hpp"

#include "inbox/message_archive.hpp"

namespace tavrino::inbox {
InboxListing::InboxListing(platform::UserDefaultsSuite& suite, InboxCache& cache)
    : suite_(suite), cache_(cache), lock_(cache.mutex()) {
  walked_ = cache_.sync(suite_);
}

void InboxListing::forEach(
    const std::function<void(const std::string&, const QivInboxMessage&)>& fn) {
  for (const auto& [keyId, entry] : cache_.entries()) fn(keyId, entry.record);
}

const QivInboxMessage* InboxListing::find(std::string_view keyId) const {
  const InboxCache::Entry* entry = cache_.find(keyId);
  return entry ? &entry->record : nullptr;
}

void InboxListing::store(const std::string& keyId, QivInboxMessage record) {
  Value stored = Value::binary(archiveRecord(record));
  wrote_ = true;
  suite_.set(entryKey(keyId), stored);
  cache_.put(keyId, std::move(stored), std::move(record));
}

bool InboxListing::remove(std::string_view keyId) {
  if (!cache_.erase(keyId)) return false;
  wrote_ = true;
  suite_.remove(entryKey(keyId));
  return true;
}

bool runListingTransaction(const std::shared_ptr<platform::UserDefaultsSuite>& suite,
                           InboxJournal& journal, QivInbox& inbox,
                           const std::function<void(InboxListing&)>& body) {
  const std::shared_ptr<InboxCache> cache = InboxCache::of(suite);
  std::optional<std::uint64_t> start;
  std::uint64_t version = 0;
  bool keep = false;
  bool wrote = false;
  const bool committed = runTransaction(*suite, journal, inbox, [&] {
    InboxListing listing(*suite, *cache);
    // Other threads see the cache untagged (and walk the suite if they read
    // it) until this transaction's outcome is known.
    start = cache->count();
    cache->invalidate();
    body(listing);
    version = cache->version();
    wrote = listing.wrote();
    // A walk inside a transaction shows its own writes, and this may be the
    // inner transaction of one that wrote: only a commit of our own proves
    // the contents.
    keep = wrote || !listing.walked();
  });
  if (!committed || !start || !keep) return committed;
  // The count is start + 1 after a commit with writes iff nobody else
  // committed in between and the transaction was the outermost one.
  std::lock_guard lock(cache->mutex());
  const std::uint64_t expected = *start + (wrote ? 1 : 0);
  if (suite->changeCount() == expected) cache->restore(expected, version);
  return committed;
}

}  // namespace tavrino::inbox
