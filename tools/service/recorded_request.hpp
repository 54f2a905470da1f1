#pragma once

// One request as the reference service saw it, and the query parsing that
// turns a raw target into ordered pairs.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "service/scenario.hpp"

namespace tavrino::service {

struct RecordedRequest {
  std::string method;
  // The path, percent-decoded.
  std::string path;
  // The request target exactly as received ("/d?&p=Home&s=1").
  std::string target;
  // The query pairs in arrival order, duplicates kept, percent-decoded ("+"
  // stays "+"). A part without "=" gives an empty value; empty parts vanish.
  QueryPairs query;
  // Sorted by name (the HTTP library does not keep arrival order).
  std::vector<std::pair<std::string, std::string>> headers;
  // At most Limits::maxRecordedBodyBytes of the body; bodyBytes is its whole
  // size.
  std::string body;
  std::size_t bodyBytes = 0;
  int remotePort = -1;

  // Returns the first value of key in the query, or nothing.
  std::optional<std::string> queryValue(std::string_view key) const;
  // Returns every value of key in order.
  std::vector<std::string> queryValues(std::string_view key) const;
  // Returns the first value of the header (name compared without case).
  std::optional<std::string> header(std::string_view name) const;

  // The bytes it holds, as counted against Limits::maxRecordBytes.
  std::size_t footprint() const;

  Json toJson() const;
};

// Decodes %XX escapes; a malformed escape stays as written.
std::string percentDecode(std::string_view text);

// Splits the query of a request target (the part after the first "?") into
// decoded pairs.
QueryPairs parseQuery(std::string_view target);

}  // namespace tavrino::service
