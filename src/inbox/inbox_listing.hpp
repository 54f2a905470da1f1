#pragma once

// InboxListing: one operation's view of the message entries of an inbox
// suite, served from the process's InboxCache of that suite, which it holds
// locked and brought up to date. Writes made through the listing go to the
// suite and to the cache alike, so one listing serves a whole operation (a
// batch of mark-reads, a store with its eviction and counts).
//
// Thread-safety: none; a listing belongs to one operation on one thread. To
// stay true to the suite across processes a writing listing must be taken and
// written inside one transaction of the suite: runListingTransaction().

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "inbox/inbox_cache.hpp"
#include "inbox/inbox_journal.hpp"
#include "tavrino/inbox/qiv_inbox_message.hpp"
#include "tavrino/platform/user_defaults.hpp"
#include "tavrino/value.hpp"

namespace tavrino::inbox {

class InboxListing {
 public:
  // Locks the cache and syncs it with suite. REQUIRES: both outlive the
  // listing.
  InboxListing(platform::UserDefaultsSuite& suite, InboxCache& cache);

  // Number of message entries (readable or not).
  std::size_t size() const { return cache_.entries().size(); }

  // Calls fn for each entry in key order with the id its key names (the key
  // without the prefix) and its record.
  // REQUIRES: fn does not store or remove through this listing.
  void forEach(const std::function<void(const std::string& keyId, const QivInboxMessage&)>& fn);

  // Every record in key order.
  const std::vector<QivInboxMessage>& records() { return cache_.records(); }

  // The record stored under keyId, or null. Valid until the next write.
  const QivInboxMessage* find(std::string_view keyId) const;
  bool contains(std::string_view keyId) const { return find(keyId) != nullptr; }

  // Returns the key id of the entry that expires first (the earliest in key
  // order among equal expiries), or nothing when empty.
  std::optional<std::string> earliestExpiry() const { return cache_.earliestExpiry(); }
  // The key ids of the entries whose expiry is before now, earliest first.
  std::vector<std::string> expiredBefore(std::int64_t now) const {
    return cache_.expiredBefore(now);
  }

  // Writes the record's map under keyId, in the suite and here.
  void store(const std::string& keyId, QivInboxMessage record);
  // Removes the entry, in the suite and here. Returns true iff it existed.
  bool remove(std::string_view keyId);

  // Counts the records per non-empty status; only those of category when
  // given.
  QivInbox::Counts countsByStatus(const std::optional<std::string>& category = std::nullopt) const {
    return cache_.counts(category);
  }

  bool wrote() const { return wrote_; }
  bool walked() const { return walked_; }
  InboxCache& cache() { return cache_; }

 private:
  platform::UserDefaultsSuite& suite_;
  InboxCache& cache_;
  std::unique_lock<std::mutex> lock_;
  bool walked_ = false;
  bool wrote_ = false;
};

// Runs body on a listing of suite inside a transaction of suite (as
// runTransaction() does, journal included), and keeps the cache current
// across its own commit without walking the suite again.
bool runListingTransaction(const std::shared_ptr<platform::UserDefaultsSuite>& suite,
                           InboxJournal& journal, QivInbox& inbox,
                           const std::function<void(InboxListing&)>& body);

// A read-only listing of suite: holds the cache locked while it lives.
class ReadListing {
 public:
  explicit ReadListing(const std::shared_ptr<platform::UserDefaultsSuite>& suite)
      : cache_(InboxCache::of(suite)), listing_(*suite, *cache_) {}
  InboxListing* operator->() { return &listing_; }

 private:
  std::shared_ptr<InboxCache> cache_;
  InboxListing listing_;
};

}  // namespace tavrino::inbox
