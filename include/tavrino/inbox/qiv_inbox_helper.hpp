#pragma once

// QivInboxHelper: conversions between the three forms of an inbox message:
// the record (QivInboxMessage), the stored map of twelve text keys, and the
// payload of a remote notification.
//
// Thread-safety: stateless; any number of helpers may run on any threads.

#include "tavrino/export.hpp"
#include "tavrino/inbox/qiv_inbox_message.hpp"
#include "tavrino/value.hpp"

namespace tavrino {

class TAVRINO_EXPORT QivInboxHelper {
 public:
  // Returns the record a map describes. A map without "zbid" (or a value that
  // is not a map) gives a record whose properties are all empty. Otherwise
  // each key present sets its property to its text; a value that is not text
  // gives the empty text, or "0" for "qivibxdate" and "qivibxtimeout".
  QivInboxMessage convertMessageObject(const Value& map) const;

  // Returns all twelve keys with the record's properties, empty ones included.
  StringMap convertDictionary(const QivInboxMessage& message) const;

  // Returns the stored form of an incoming map: all twelve keys, each read
  // with the text-value rule; "qivibxttl", "qivibxdate" and "qivibxtimeout"
  // default to "0", the others to the empty text.
  StringMap createMessageMap(const Value& map) const;

  // Returns the message map of a notification payload: channel "push" (or
  // "push_api" with a unique id for "campaign_label" "api"), status "2" unless
  // the payload gives one, creation and expiry times from the clock and
  // "qivibxttl", title and body from "aps"."alert", image from "m", link from
  // "l". Prints the map on the console and records the step
  // "inbox message serialized".
  StringMap convertMessageObjectFromPush(const Value& props) const;
};

}  // namespace tavrino
