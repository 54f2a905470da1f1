#include "platform/wal_index_probe.hpp"

namespace tavrino::platform {

// Other processes write the header concurrently; atomic loads keep each word
// whole, and a torn header as a whole only reads as a change.
WalIndexProbe::Snapshot WalIndexProbe::read() const {
  Snapshot snapshot;
  if (header_ == nullptr) return snapshot;
  for (std::size_t i = 0; i < snapshot.words.size(); ++i) {
    snapshot.words[i] = __atomic_load_n(header_ + i, __ATOMIC_ACQUIRE);
  }
  snapshot.valid = true;
  return snapshot;
}

bool WalIndexProbe::unchanged() const {
  if (header_ == nullptr || !remembered_.valid) return false;
  for (std::size_t i = 0; i < remembered_.words.size(); ++i) {
    if (__atomic_load_n(header_ + i, __ATOMIC_ACQUIRE) != remembered_.words[i]) return false;
  }
  return true;
}

}  // namespace tavrino::platform
