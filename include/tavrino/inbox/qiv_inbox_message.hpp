#pragma once

// QivInboxMessage: one inbox message as the host sees it.
//
// Thread-safety: a plain value. Distinct objects may be used from any
// threads; one object needs external synchronisation when shared.

#include <string>

#include "tavrino/export.hpp"

namespace tavrino {

// Every property is text, empty when the object is created. The comment after
// each names the key of the stored message map that holds it.
class TAVRINO_EXPORT QivInboxMessage {
 public:
  std::string id;           // "zbid": identifier; also names the stored entry
  std::string updateId;     // "qivibxzbid": the message this one updates
  std::string timeout;      // "qivibxttl": lifetime in minutes
  std::string category;     // "qivibxmt": grouping name
  std::string title;        // "qivibxcap"
  std::string message;      // "qivibxbody": body text
  std::string url;          // "qivibxu": link opened for the message
  std::string imageUrl;     // "qivibximg"
  std::string status;       // "qivibxr": "2" unread, "1" read
  std::string date;         // "qivibxdate": creation, whole seconds since 1970 UTC
  std::string channel;      // "qivibxchannel": "push", "push_api" or "campaign"
  std::string timeoutDate;  // "qivibxtimeout": expiry, whole seconds since 1970 UTC

  bool operator==(const QivInboxMessage&) const = default;
};

}  // namespace tavrino
