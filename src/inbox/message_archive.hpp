#pragma once

// A message's stored entry written straight from its record: the normalised
// record of a message map, and the keyed archive of that record's map,
// byte for byte what archiving convertDictionary(record) gives (twelve text
// keys in key order), without building the map or a value tree on the way.
//
// Thread-safety: pure functions.

#include "tavrino/inbox/qiv_inbox_message.hpp"
#include "tavrino/value.hpp"

namespace tavrino::inbox {

// takeRecord(createMessageMap(message)): each field the text of its key,
// "0" for an absent lifetime, date or expiry, "" for the others.
QivInboxMessage normalisedRecord(const Value& message);

// createMessageMap(convertDictionary(record)) as a record: a field that is
// empty or " " becomes its default, as a map's would.
QivInboxMessage normalisedRecord(QivInboxMessage record);

// The archive of convertDictionary(record).
Data archiveRecord(const QivInboxMessage& record);

}  // namespace tavrino::inbox
