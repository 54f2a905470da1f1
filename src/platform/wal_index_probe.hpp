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
// Thread-safety: none; the owner serialises calls.

#include <array>
#include <cstdint>

namespace tavrino::platform {

class WalIndexProbe {
 public:
  // The wal-index header as last seen.
  struct Snapshot {
    std::array<std::uint32_t, 12> words{};
    bool valid = false;
  };

  // REQUIRES: walIndex is the first region of the connection's wal-index, or
  // null (then the probe never vouches for anything).
  void attach(const void* walIndex) { header_ = static_cast<const std::uint32_t*>(walIndex); }
  bool attached() const { return header_ != nullptr; }

  // Returns the header as it is now; invalid when not attached.
  Snapshot read() const;

  void remember(const Snapshot& snapshot) { remembered_ = snapshot; }

  // Returns true iff the header equals the remembered one: nobody committed
  // since it was read.
  bool unchanged() const;

 private:
  const std::uint32_t* header_ = nullptr;
  Snapshot remembered_;
};

}  // namespace tavrino::platform
