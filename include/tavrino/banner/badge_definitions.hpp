#pragma once

// The listing-badge definitions that banner campaigns register and that the
// listing badges of a screen read: one process-wide map from a campaign id to
// its definition map ("ids", "run", "style", "function", "selector",
// "campaign_message"), in the order the ids were first registered.
//
// Thread-safety: every method may be called from any thread.

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/value.hpp"

namespace tavrino::banner {

class TAVRINO_EXPORT BadgeDefinitions {
 public:
  static BadgeDefinitions& shared();

  // Registers definition under key; a later one replaces it in place.
  void set(std::string_view key, Value definition);
  std::optional<Value> get(std::string_view key) const;
  // A copy of every definition: a map from key to definition, in order.
  Value all() const;
  std::size_t size() const;
  void clear();

 private:
  mutable std::mutex mu_;
  Value definitions_ = Value::object();
};

}  // namespace tavrino::banner
