#include "platform/wal_index_probe.hpp"

namespace tavrino::platform {

// Other processes write the header concurrently; atomic loads keep each word
// whole, and a torn header as a whole only reads as a change.
WalIndexProbe::Snapshot WalIndexProbe::read() const {
  Snapshot snapshot;
  const std::uint64_t* header = header_.load(std::memory_order_acquire);
  if (header == nullptr) return snapshot;
  for (std::size_t i = 0; i < kWords; ++i) {
    snapshot.words[i] = __atomic_load_n(header + i, __ATOMIC_ACQUIRE);
  }
  snapshot.valid = true;
  return snapshot;
}

void WalIndexProbe::remember(const Snapshot& snapshot) {
  const std::uint32_t sequence = sequence_.load(std::memory_order_relaxed);
  const std::uint32_t writing = sequence | 1;
  sequence_.store(writing, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  if (!snapshot.valid) return;  // stays odd: nothing is vouched for
  for (std::size_t i = 0; i < kWords; ++i) {
    remembered_[i].store(snapshot.words[i], std::memory_order_relaxed);
  }
  sequence_.store(writing + 1, std::memory_order_release);
}

}  // namespace tavrino::platform
