#pragma once

// Reaches the sockets the HTTP library owns for one server, which it does not
// expose: found among the process's descriptors by their local address.
// Linux only (reads /proc/self/fd).

#include <string>

namespace tavrino::service {

// Returns true iff text is a dotted IPv4 address ("127.0.0.1", "0.0.0.0").
bool isIPv4Address(const std::string& text);

// Lets the listening socket on address:port queue as many connections as the
// system allows; the library asks for only 5, and a refused connection
// costs the client a one-second SYN retry.
void widenListenBacklog(const std::string& address, int port);

// Shuts down every connection accepted on address:port ("0.0.0.0": on any
// local address), waking the threads that wait on them.
void shutdownAcceptedConnections(const std::string& address, int port);

}  // namespace tavrino::service
