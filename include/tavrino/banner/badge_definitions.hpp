#pragma once

// The listing-badge definitions that banner campaigns register and that the
// listing badges of a screen read: one process-wide map from a campaign id to
// its definition map ("ids", "run", "style", "function", "selector",
// "campaign_message"), in the order the ids were first registered, and the
// image the campaign's banner step fetched for an image badge.
//
// Thread-safety: every method may be called from any thread.

#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/ui/image.hpp"
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
  // The badge image registered with the definition under key; empty when
  // there is none.
  void setImage(std::string_view key, ui::Image image);
  ui::Image image(std::string_view key) const;
  // Forgets the definitions and their images.
  void clear();

 private:
  mutable std::mutex mu_;
  Value definitions_ = Value::object();
  std::map<std::string, ui::Image, std::less<>> images_;
};

}  // namespace tavrino::banner
