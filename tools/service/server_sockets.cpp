#include "service/server_sockets.hpp"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <functional>

namespace tavrino::service {
namespace {

// Calls fn with each descriptor bound to 127.0.0.1:port and whether it is
// the listening socket.
void forEachSocketOn(int port, const std::function<void(int fd, bool listening)>& fn) {
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
        local.sin_addr.s_addr != htonl(INADDR_LOOPBACK)) {
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

void widenListenBacklog(int port) {
  // Listening again on a listening socket only changes its backlog.
  forEachSocketOn(port, [](int fd, bool listening) {
    if (listening) listen(fd, SOMAXCONN);
  });
}

void shutdownAcceptedConnections(int port) {
  // A client socket of this process never has the server's address as its
  // local one, so every non-listening match is a connection the server took.
  forEachSocketOn(port, [](int fd, bool listening) {
    if (!listening) shutdown(fd, SHUT_RDWR);
  });
}

}  // namespace tavrino::service
