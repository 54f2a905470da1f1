#pragma once

// Reaches the sockets the HTTP library owns for one server, which it does not
// expose: found among the process's descriptors by their local address.
// Linux only (reads /proc/self/fd).

namespace tavrino::service {

// Lets the listening socket on 127.0.0.1:port queue as many connections as the
// system allows; the library asks for only 5, and a refused connection
// costs the client a one-second SYN retry.
void widenListenBacklog(int port);

// Shuts down every connection accepted on 127.0.0.1:port, waking the threads
// that wait on them.
void shutdownAcceptedConnections(int port);

}  // namespace tavrino::service
