#pragma once

// InboxListing: the message entries of an inbox suite, read with one
// enumeration of the suite. Records are unarchived on first use, so counting
// and existence checks cost no decoding. Writes made through the listing go
// to the suite and to the listing alike, so one listing serves a whole
// operation (a batch of mark-reads, a store with its eviction and counts).
//
// Thread-safety: none; a listing belongs to one operation on one thread. To
// stay true to the suite across processes it must be taken and written inside
// one transaction of the suite.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

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

class InboxListing {
 public:
  // Enumerates suite once. REQUIRES: suite outlives the listing.
  explicit InboxListing(platform::UserDefaultsSuite& suite);

  // Number of message entries (readable or not).
  std::size_t size() const { return live_; }

  // Calls fn for each entry in the suite's enumeration order with the id its
  // key names (the key without the prefix) and its record.
  // REQUIRES: fn does not store or remove through this listing.
  void forEach(const std::function<void(const std::string& keyId, const QivInboxMessage&)>& fn);

  // Returns the records that selects, in enumeration order, moving them out:
  // for a listing that is read once and dropped.
  std::vector<QivInboxMessage> takeRecords(
      const std::function<bool(const QivInboxMessage&)>& selects);

  bool contains(std::string_view keyId);

  // Returns the key id of the entry that expires first (the earliest in
  // enumeration order among equal expiries), or nothing when empty.
  std::optional<std::string> earliestExpiry();

  // Writes map under its id, in the suite and here.
  void store(const std::string& keyId, const StringMap& map);
  // Removes the entry, in the suite and here. Returns true iff it existed.
  bool remove(std::string_view keyId);

  // Counts the records per non-empty status; only those of category when
  // given.
  std::map<std::string, std::int64_t> countsByStatus(
      const std::optional<std::string>& category = std::nullopt);

 private:
  struct Entry {
    std::string keyId;
    Value stored;
    std::optional<QivInboxMessage> record;  // decoded on first use
    bool removed = false;
  };

  QivInboxMessage& record(Entry& entry);
  // Reads and writes need the index; listings that are only read skip it.
  std::unordered_map<std::string, std::size_t>& index();

  platform::UserDefaultsSuite& suite_;
  std::vector<Entry> entries_;  // enumeration order; new ids are appended
  std::optional<std::unordered_map<std::string, std::size_t>> index_;  // live entries
  std::size_t live_ = 0;
};

}  // namespace tavrino::inbox
