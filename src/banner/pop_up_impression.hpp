#pragma once

// The impression step's pieces: the report a shown banner sends and the
// cookies it leaves behind.

#include <cstdint>

#include "tavrino/value.hpp"

namespace tavrino::banner {

// The impression report's own pairs (before the client map joins): "di",
// "at", "zbid", "r", and as the campaign says "qivcfrom", "spid", "a" and
// the communication type, id and delay of the kind.
StringMap impressionReport(const Value& params);

// When the cookies of one impression end, whole seconds since 1970.
struct ImpressionEnds {
  std::int64_t show = 0;
  std::int64_t repeat = 0;
  std::int64_t impression = 0;
};
ImpressionEnds impressionEnds(const Value& params, std::int64_t now);

// The show, repeat and impression cookies and the unique "I,V" marker, in
// one store transaction.
void writeImpressionCookies(const Value& params);

}  // namespace tavrino::banner
