#include "platform/suite_key_index.hpp"

#include <algorithm>
#include <chrono>
#include <random>

namespace tavrino::platform {
namespace {

std::uint64_t processSeed() {
  static const std::uint64_t seed = []() -> std::uint64_t {
    try {
      std::random_device device;
      return (std::uint64_t{device()} << 32) | device();
    } catch (...) {
      // No entropy source: the clock still differs between processes.
      return static_cast<std::uint64_t>(
          std::chrono::steady_clock::now().time_since_epoch().count());
    }
  }();
  return seed;
}

}  // namespace

SuiteKeyIndex::SuiteKeyIndex() : seed_(processSeed()) {}

void SuiteKeyIndex::insert(std::string_view key, const Value* value) {
  reserveOneMore();
  place(Slot{hashOf(key), key, value, false});
  ++size_;
}

void SuiteKeyIndex::erase(std::string_view key) {
  if (slots_.empty()) return;
  const std::uint64_t hash = hashOf(key);
  for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
    Slot& slot = slots_[i];
    if (slot.value == nullptr && !slot.tombstone) return;
    if (slot.hash == hash && slot.value != nullptr && slot.key == key) {
      slot = Slot{0, {}, nullptr, true};
      --size_;
      ++tombstones_;
      return;
    }
  }
}

std::size_t SuiteKeyIndex::longestProbe() const {
  std::size_t longest = 0;
  for (const Slot& entry : slots_) {
    if (entry.value == nullptr) continue;
    std::size_t visited = 1;
    for (std::size_t i = entry.hash & mask_; slots_[i].value != entry.value; i = (i + 1) & mask_) {
      ++visited;
    }
    longest = std::max(longest, visited);
  }
  return longest;
}

void SuiteKeyIndex::clear() {
  slots_.clear();
  mask_ = 0;
  size_ = 0;
  tombstones_ = 0;
}

void SuiteKeyIndex::reserveOneMore() {
  // At most half full, counting tombstones, so that probes stay short and
  // every probe meets an empty slot.
  if ((size_ + tombstones_ + 1) * 2 <= slots_.size()) return;
  std::size_t capacity = 16;
  while (capacity < (size_ + 1) * 4) capacity *= 2;
  rebuild(capacity);
}

void SuiteKeyIndex::rebuild(std::size_t capacity) {
  std::vector<Slot> old(capacity);
  old.swap(slots_);
  mask_ = capacity - 1;
  tombstones_ = 0;
  for (const Slot& slot : old) {
    if (slot.value != nullptr) place(slot);
  }
}

void SuiteKeyIndex::place(const Slot& entry) {
  for (std::size_t i = entry.hash & mask_;; i = (i + 1) & mask_) {
    Slot& slot = slots_[i];
    if (slot.value == nullptr) {
      if (slot.tombstone) --tombstones_;
      slot = entry;
      return;
    }
  }
}

}  // namespace tavrino::platform
