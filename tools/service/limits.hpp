#pragma once

// What one client can make the reference service hold: it is shipped and may
// listen on a network, so every input it keeps or waits for is bounded.

#include <chrono>
#include <cstddef>

namespace tavrino::service {

struct Limits {
  // A request body, after any content encoding is undone: 413 beyond it.
  std::size_t maxBodyBytes = 8 * 1024 * 1024;
  // The request line and headers together, and the count of header lines:
  // 431 beyond either.
  std::size_t maxHeadBytes = 64 * 1024;
  std::size_t maxHeaderCount = 100;
  // From the first byte of a request to the end of its headers: 408 after.
  std::chrono::milliseconds headDeadline{10000};
  // Open connections, in all and per client address; one more is answered
  // 503 and closed.
  std::size_t maxConnections = 256;
  std::size_t maxConnectionsPerClient = 64;
  // The recorded requests together; the oldest are dropped beyond it.
  std::size_t maxRecordBytes = 64 * 1024 * 1024;
  // The part of each body the record keeps.
  std::size_t maxRecordedBodyBytes = 64 * 1024;
};

}  // namespace tavrino::service
