#pragma once

// InboxCache: the decoded message entries of one inbox suite, kept for the
// whole process so that reads and writes of the inbox need not enumerate or
// decode the suite. It is tagged with the suite's changeCount() it reflects;
// when the suite has moved on (another process, or a write that bypassed the
// inbox), sync() takes in the entries the suite names as changed since, or,
// when the suite cannot tell, walks the entries; either way it decodes only
// those whose stored bytes differ from the ones cached. Beside the records it keeps what the
// operations need without a scan: an index by expiry for eviction and the
// expiry sweep, the counts per status (overall and per category), and the
// listing as one vector for getAllMessages().
//
// Thread-safety: of() may be called from any thread; everything else requires
// mutex() held.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/inbox/qiv_inbox_message.hpp"
#include "tavrino/platform/user_defaults.hpp"
#include "tavrino/value.hpp"

namespace tavrino::inbox {

// Returns the record a stored entry value holds: the archive of a message map.
// Anything else (not data, or data that is no archived map) gives an empty
// record.
QivInboxMessage decodeEntry(const Value& stored);

// Returns the entry value for a stored message map.
Value encodeEntry(const StringMap& map);

std::string entryKey(std::string_view id);

class InboxCache {
 public:
  struct Entry {
    Value stored;  // the entry's value as the suite holds it
    QivInboxMessage record;
    std::int64_t expiry = 0;
  };
  using Entries = std::map<std::string, Entry, std::less<>>;  // by key id

  // Returns the cache of suite, shared by every user of the same suite object
  // in the process. A new suite object of the same name (the platform was
  // replaced) gets a new, empty cache.
  static std::shared_ptr<InboxCache> of(const std::shared_ptr<platform::UserDefaultsSuite>& suite);

  std::mutex& mutex() { return mu_; }

  // Brings the cache up to the suite's entries (inside a transaction of the
  // suite: with its own writes) unless the change count says it is current.
  // Returns true iff it had to walk the entries (taking in the changes the
  // suite names is no walk: it never shows a transaction's own writes).
  bool sync(platform::UserDefaultsSuite& suite);

  // The change count the contents reflect, if any. A writer clears it while
  // its transaction is open and restores it once it knows the commit was its
  // own and the only one (see restore()).
  std::optional<std::uint64_t> count() const { return count_; }
  void invalidate() { count_.reset(); }
  // Tags the contents with count, unless they were changed since version.
  void restore(std::uint64_t count, std::uint64_t version) {
    if (version == version_) count_ = count;
  }
  // Changes with every change of the contents.
  std::uint64_t version() const { return version_; }

  const Entries& entries() const { return entries_; }
  const Entry* find(std::string_view keyId) const;
  // Stores or replaces an entry; record must be what stored decodes to.
  void put(std::string_view keyId, Value stored, QivInboxMessage record);
  bool erase(std::string_view keyId);

  // The key id of the entry that expires first (the first in key order among
  // equal expiries).
  std::optional<std::string> earliestExpiry() const;
  // The key ids of the entries whose expiry is before now, earliest first,
  // key order among equal expiries.
  std::vector<std::string> expiredBefore(std::int64_t now) const;

  // The counts per non-empty status; only those of category when given.
  QivInbox::Counts counts(const std::optional<std::string>& category) const;

  // Every record in key order.
  const std::vector<QivInboxMessage>& records();

  // How often sync() walked the suite or took in only what changed, and how
  // many entries it decoded.
  std::uint64_t walks() const { return walks_; }
  std::uint64_t catchUps() const { return catchUps_; }
  std::uint64_t decodes() const { return decodes_; }

 private:
  // Takes in the entries the suite names as changed since count_. Returns
  // false when the suite cannot tell.
  bool takeChanges(platform::UserDefaultsSuite& suite);
  Entries::iterator insertAt(Entries::iterator hint, std::string_view keyId, Value stored,
                             QivInboxMessage record);
  Entries::iterator eraseAt(Entries::iterator it);
  void account(const std::string& keyId, const Entry& entry, int delta);
  void changed() {
    ++version_;
    listing_.reset();
  }

  std::mutex mu_;
  std::weak_ptr<platform::UserDefaultsSuite> suite_;  // set once, under the registry lock
  std::optional<std::uint64_t> count_;
  std::uint64_t version_ = 0;
  Entries entries_;
  std::set<std::pair<std::int64_t, std::string>> byExpiry_;
  QivInbox::Counts counts_;
  std::map<std::string, QivInbox::Counts, std::less<>> countsByCategory_;
  std::optional<std::vector<QivInboxMessage>> listing_;  // built on demand
  std::uint64_t walks_ = 0;
  std::uint64_t catchUps_ = 0;
  std::uint64_t decodes_ = 0;
};

}  // namespace tavrino::inbox
