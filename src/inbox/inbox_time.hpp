#pragma once

// Times of inbox messages: whole seconds since 1970, lifetimes in minutes.

#include <cstdint>
#include <limits>

#include "tavrino/inbox/qiv_inbox_message.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/value.hpp"

namespace tavrino::inbox {

inline std::int64_t nowSeconds() {
  return platform::current().clock().epochSeconds();
}

// Returns now + minutes × 60, saturated: a payload may carry any lifetime.
inline std::int64_t afterMinutes(std::int64_t now, std::int64_t minutes) {
  std::int64_t seconds = 0;
  std::int64_t result = 0;
  if (__builtin_mul_overflow(minutes, std::int64_t{60}, &seconds) ||
      __builtin_add_overflow(now, seconds, &result)) {
    return minutes < 0 ? std::numeric_limits<std::int64_t>::min()
                       : std::numeric_limits<std::int64_t>::max();
  }
  return result;
}

// Returns the record's expiry: its timeoutDate as a whole number, or 0 when it
// is not one, so such a record counts as expired and is evicted first.
inline std::int64_t expiryValue(const QivInboxMessage& record) {
  std::int64_t value = 0;
  return parseInteger(record.timeoutDate, &value) ? value : 0;
}

}  // namespace tavrino::inbox
