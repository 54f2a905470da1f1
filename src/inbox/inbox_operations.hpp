#pragma once

// The steps that write the inbox, shared by the public operations. Each runs
// on an open listing inside the caller's transaction and reports through the
// caller's journal.

#include <cstdint>
#include <string>
#include <string_view>

#include "inbox/inbox_journal.hpp"
#include "inbox/inbox_listing.hpp"
#include "tavrino/value.hpp"

namespace tavrino::inbox {

struct StoreOptions {
  // The history limit (getAppInboxHistorySize()), read before the transaction.
  std::int64_t limit = 20;
  // Whether a message callback is set: the counts are computed only for it.
  bool countsWanted = false;
};

// Returns the configured history limit, or fallback; logs nothing.
std::int64_t configuredHistorySize(std::int64_t fallback);

// Stores message as setMessage() does. Returns true iff a message was evicted.
bool storeMessage(InboxListing& listing, const Value& message, const StoreOptions& options,
                  InboxJournal& journal);
// The same for a record, as storing convertDictionary(record) does.
bool storeRecord(InboxListing& listing, QivInboxMessage record, const StoreOptions& options,
                 InboxJournal& journal);

// Deletes the entry that expires first as pop() does. Returns true iff one
// was deleted.
bool popEarliest(InboxListing& listing, InboxJournal& journal);

// Marks one message read as markReadMessage() does.
void markOneRead(InboxListing& listing, std::string_view id, const StoreOptions& options,
                 InboxJournal& journal);

}  // namespace tavrino::inbox
