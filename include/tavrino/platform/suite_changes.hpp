#pragma once

// SuiteChanges: what a user-defaults suite can tell about its recent changes,
// for a user that keeps something derived from the suite's entries and wants
// to take in only what changed. A suite offers it beside UserDefaultsSuite
// (find it with dynamic_cast); a suite without it can never tell, and its
// user reads everything when changeCount() moves.
//
// Thread-safety: as UserDefaultsSuite.

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/value.hpp"

namespace tavrino::platform {

// Exported so that dynamic_cast finds it across a shared object's boundary.
class TAVRINO_EXPORT SuiteChanges {
 public:
  virtual ~SuiteChanges() = default;

  // Calls visit with every key under prefix whose entry may have changed
  // since the suite's changeCount() was since, and its value now (null when
  // removed), in key order, under the suite's read lock (visit must not call
  // the suite). Returns the changeCount() the visited values have reached.
  // Returns nothing, having visited nothing, when the suite cannot tell what
  // changed: since is too old or unknown, or the caller's own transaction
  // has writes (which this never shows); then anything may have changed.
  virtual std::optional<std::uint64_t> forEachChangeSince(
      std::uint64_t since, std::string_view prefix,
      const std::function<void(std::string_view key, const Value* value)>& visit) = 0;
};

}  // namespace tavrino::platform
