#pragma once

// SuiteKeyIndex: finds a suite entry's value by key in a few nanoseconds, for
// the point reads the SDK makes at every screen change.
//
// Open addressing with linear probing over a power-of-two table (no division
// per lookup, one cache line per hit), keyed by views of keys that live in
// the suite's ordered copy. Removed slots become tombstones, swept by a
// rebuild once they pile up. The hash takes 8 bytes per multiply and is
// seeded per process, so that stored keys cannot be chosen to collide.
//
// Thread-safety: none; the suite guards it with its copy's lock.

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "tavrino/value.hpp"

namespace tavrino::platform {

class SuiteKeyIndex {
 public:
  SuiteKeyIndex();

  // Returns the value under key, or null.
  const Value* find(std::string_view key) const {
    if (slots_.empty()) return nullptr;
    const std::uint64_t hash = hashOf(key);
    for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
      const Slot& slot = slots_[i];
      if (slot.value == nullptr && !slot.tombstone) return nullptr;
      if (slot.hash == hash && slot.value != nullptr && slot.key == key) return slot.value;
    }
  }

  // REQUIRES: key is not indexed; key's bytes and value outlive the entry.
  void insert(std::string_view key, const Value* value);
  // Removes key, if indexed.
  void erase(std::string_view key);
  void clear();
  std::size_t size() const { return size_; }
  // Returns the most slots any indexed key's lookup visits (for tests).
  std::size_t longestProbe() const;

 private:
  struct Slot {
    std::uint64_t hash = 0;
    std::string_view key;
    const Value* value = nullptr;  // null: empty or a tombstone
    bool tombstone = false;
  };

  std::uint64_t hashOf(std::string_view key) const {
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    std::uint64_t hash = seed_ ^ (key.size() * kMultiplier);
    const auto mix = [&](std::uint64_t word) {
      hash = (hash ^ word) * kMultiplier;
      hash ^= hash >> 29;
    };
    std::uint64_t word = 0;
    if (key.size() < 8) {
      if (!key.empty()) std::memcpy(&word, key.data(), key.size());
      mix(word);
    } else {
      const char* bytes = key.data();
      for (std::size_t left = key.size(); left > 8; left -= 8, bytes += 8) {
        std::memcpy(&word, bytes, 8);
        mix(word);
      }
      std::memcpy(&word, key.data() + key.size() - 8, 8);  // the last 8, overlapping
      mix(word);
    }
    // The table takes the low bits, which the multiplies above fill only
    // from the bits below them: a final avalanche spreads every bit.
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 33;
    hash *= 0xC4CEB9FE1A85EC53ull;
    return hash ^ (hash >> 33);
  }

  // Makes room for one more entry, rebuilding when full of entries or
  // tombstones.
  void reserveOneMore();
  void rebuild(std::size_t capacity);
  void place(const Slot& entry);

  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
  std::size_t size_ = 0;
  std::size_t tombstones_ = 0;
  std::uint64_t seed_;
};

}  // namespace tavrino::platform
