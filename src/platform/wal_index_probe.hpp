#pragma once

// WalIndexProbe: tells in a few nanoseconds whether any connection, in any
// process, may have committed to a WAL-mode database since a moment the
// owner remembered.
//
// Every commit rewrites the header at the start of the shared wal-index (the
// "-shm" file that every connection maps): the frame count grows, or the
// salts change when the log restarts. Checkpoints leave it alone. SQLite's
// own data-version counters only move when a read transaction starts, which
// costs microseconds of file locking; comparing the mapped header costs a
// few loads. A difference is only a hint (a torn read or a commit by the
// owner itself also differ): the owner then asks SQLite.
//
// The probe reads memory that the connection maps; the connection must stay
// open in WAL mode while the probe is attached.
//
// Thread-safety: unchanged() may run on any thread at any time, without a
// lock, also while the owner calls attach() or remember(); the owner
// serialises those two and read(). A remembered header is published with
// release ordering: a thread that finds the header unchanged also sees
// whatever the owner wrote before remember().

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>

namespace tavrino::platform {

class WalIndexProbe {
 public:
  // The 48-byte header SQLite compares too, as 64-bit words (the mapping is
  // page-aligned).
  static constexpr std::size_t kWords = 6;

  // The wal-index header as last seen.
  struct Snapshot {
    std::array<std::uint64_t, kWords> words{};
    bool valid = false;
  };

  // Returns the header's commit counter: every commit, by any connection,
  // adds one to it; restarting the log and checkpoints leave it alone.
  static std::uint32_t commitCounter(const Snapshot& snapshot) {
    std::uint32_t counter = 0;
    std::memcpy(&counter, reinterpret_cast<const unsigned char*>(snapshot.words.data()) + 8,
                sizeof counter);
    return counter;
  }

  // REQUIRES: walIndex is the first region of the connection's wal-index, or
  // null (then the probe never vouches for anything).
  void attach(const void* walIndex) {
    header_.store(static_cast<const std::uint64_t*>(walIndex), std::memory_order_release);
  }
  bool attached() const { return header_.load(std::memory_order_relaxed) != nullptr; }

  // Returns the header as it is now; invalid when not attached.
  Snapshot read() const;

  void remember(const Snapshot& snapshot);

  // Returns true iff the header equals the remembered one: nobody committed
  // since it was read. Inline: every read of a suite asks it.
  bool unchanged() const {
    const std::uint64_t* header = header_.load(std::memory_order_acquire);
    if (header == nullptr) return false;
    const std::uint32_t sequence = sequence_.load(std::memory_order_acquire);
    if (sequence == 0 || (sequence & 1) != 0) return false;
    bool same = true;
    for (std::size_t i = 0; i < kWords; ++i) {
      same &= __atomic_load_n(header + i, __ATOMIC_ACQUIRE) ==
              remembered_[i].load(std::memory_order_relaxed);
    }
    // The words compared belong to this sequence only if it did not move.
    std::atomic_thread_fence(std::memory_order_acquire);
    return same && sequence_.load(std::memory_order_relaxed) == sequence;
  }

 private:
  std::atomic<const std::uint64_t*> header_{nullptr};
  // A sequence lock over the remembered words: odd while remember() writes
  // them, zero until something valid was remembered.
  std::atomic<std::uint32_t> sequence_{0};
  std::array<std::atomic<std::uint64_t>, kWords> remembered_{};
};

}  // namespace tavrino::platform
