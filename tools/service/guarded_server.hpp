#pragma once

// The HTTP library's server with a thread per connection, within bounds.
// The library keeps a connection on its worker for as long as the client
// holds it open, so a fixed pool would let idle keep-alive connections starve
// new ones (a client with many transfers in flight would wait seconds). So
// every connection gets a thread, up to Limits::maxConnections in all and
// Limits::maxConnectionsPerClient per client address; one more, or one no
// thread can be started for, is answered 503 and closed. Each request's head
// is bounded by a ConnectionStream.
//
// Thread-safety: the library calls in from its accept thread and the
// connection threads; the public methods may be called from any thread.

#include <httplib.h>

#include <cstddef>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "service/limits.hpp"

namespace tavrino::service {

class GuardedServer final : public httplib::Server {
 public:
  explicit GuardedServer(const Limits& limits);

  // Lets the listening socket queue as many connections as the system
  // allows; the library asks for only 5, and a refused connection costs the
  // client a one-second SYN retry.
  void widenListenBacklog();
  // Shuts down every open connection, waking the threads that wait on them
  // (the library looks at its stop flag only between requests).
  void shutdownConnections();

 private:
  class Threads;

  bool process_and_close_socket(socket_t sock) override;
  bool serve(socket_t sock);
  // Counts the connection in; false when its client holds its share already.
  bool admit(socket_t sock, std::string* client);
  void release(socket_t sock, const std::string& client);

  const Limits limits_;
  std::mutex mu_;
  std::map<std::string, std::size_t> perClient_;  // guarded by mu_
  std::set<socket_t> open_;                       // guarded by mu_
};

// Makes the connection whose request this thread is answering close after the
// answer (its client sent more than was read).
void closeConnectionAfterAnswer();

}  // namespace tavrino::service
