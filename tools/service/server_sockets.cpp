#include "service/server_sockets.hpp"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <functional>

namespace tavrino::service {
namespace {

// Calls fn with each descriptor bound to address:port and whether it is the
// listening socket. The sockets a server on every interface accepts carry
// the interface's address, so "0.0.0.0" matches any.
void forEachSocketOn(const std::string& address, int port,
                     const std::function<void(int fd, bool listening)>& fn) {
  in_addr wanted{};
  if (inet_pton(AF_INET, address.c_str(), &wanted) != 1) return;
  const bool anyAddress = wanted.s_addr == htonl(INADDR_ANY);
  DIR* fds = opendir("/proc/self/fd");
  if (fds == nullptr) return;
  while (const dirent* entry = readdir(fds)) {
    char* end = nullptr;
    const long number = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || number == dirfd(fds)) continue;
    const int fd = static_cast<int>(number);
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
        local.sin_family != AF_INET || ntohs(local.sin_port) != port ||
        (!anyAddress && local.sin_addr.s_addr != wanted.s_addr)) {
      continue;
    }
    int listening = 0;
    length = sizeof listening;
    if (getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &length) != 0) continue;
    fn(fd, listening != 0);
  }
  closedir(fds);
}

}  // namespace

bool isIPv4Address(const std::string& text) {
  in_addr parsed{};
  return inet_pton(AF_INET, text.c_str(), &parsed) == 1;
}

void widenListenBacklog(const std::string& address, int port) {
  // Listening again on a listening socket only changes its backlog.
  forEachSocketOn(address, port, [](int fd, bool listening) {
    if (listening) listen(fd, SOMAXCONN);
  });
}

void shutdownAcceptedConnections(const std::string& address, int port) {
  // A client socket of this process never has the server's port as its
  // local one, so every non-listening match is a connection the server took.
  forEachSocketOn(address, port, [](int fd, bool listening) {
    if (!listening) shutdown(fd, SHUT_RDWR);
  });
}

}  // namespace tavrino::service
