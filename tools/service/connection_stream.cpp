#include "service/connection_stream.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tavrino::service {
namespace {

using std::chrono::milliseconds;

// "\r\n\r\n": the blank line that ends a head.
constexpr unsigned kHeadEnd = 0x0d0a0d0a;
constexpr unsigned kLineEnd = 0x0d0a;

bool pollFor(int fd, short events, milliseconds timeout) {
  pollfd ready{fd, events, 0};
  int polled = 0;
  do {
    polled = ::poll(&ready, 1, static_cast<int>(timeout.count()));
  } while (polled < 0 && errno == EINTR);
  return polled > 0;
}

void addressOf(int fd, bool remote, std::string& ip, int& port) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  const int got = remote ? ::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length)
                         : ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  char text[INET_ADDRSTRLEN] = {};
  if (got != 0 || address.sin_family != AF_INET ||
      inet_ntop(AF_INET, &address.sin_addr, text, sizeof text) == nullptr) {
    ip.clear();
    port = -1;
    return;
  }
  ip = text;
  port = ntohs(address.sin_port);
}

}  // namespace

void sendBareAnswer(int fd, int status) {
  const char* reason = status == 408   ? "Request Timeout"
                       : status == 431 ? "Request Header Fields Too Large"
                                       : "Service Unavailable";
  const std::string answer = "HTTP/1.1 " + std::to_string(status) + " " + reason +
                             "\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
  // Never waits: a client that does not read loses the answer.
  (void)::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

ConnectionStream::ConnectionStream(int fd, const Limits& limits, milliseconds readTimeout,
                                   milliseconds writeTimeout)
    : fd_(fd), limits_(limits), readTimeout_(readTimeout), writeTimeout_(writeTimeout) {}

void ConnectionStream::beginRequest() {
  inHead_ = true;
  headBytes_ = 0;
  headLines_ = 0;
  tail_ = 0;
  headDeadline_ = std::chrono::steady_clock::now() + limits_.headDeadline;
}

bool ConnectionStream::waitForRequest(milliseconds timeout) {
  return !closing_ && (begin_ < end_ || pollFor(fd_, POLLIN, timeout));
}

bool ConnectionStream::is_readable() const {
  return !refused_ && (begin_ < end_ || pollFor(fd_, POLLIN, readTimeout_));
}

bool ConnectionStream::is_writable() const {
  return !refused_ && pollFor(fd_, POLLOUT, writeTimeout_);
}

ssize_t ConnectionStream::read(char* ptr, size_t size) {
  if (refused_) return -1;
  if (begin_ == end_) {
    const ssize_t got = fill();
    if (got <= 0) return got;
  }
  std::size_t n = std::min(size, end_ - begin_);
  if (inHead_ && (n = passHead(n)) == 0) return -1;
  std::memcpy(ptr, buffer_ + begin_, n);
  begin_ += n;
  return static_cast<ssize_t>(n);
}

ssize_t ConnectionStream::write(const char* ptr, size_t size) {
  if (!is_writable()) return -1;
  ssize_t sent = 0;
  do {
    sent = ::send(fd_, ptr, size, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return sent;
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  addressOf(fd_, /*remote=*/true, ip, port);
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
  addressOf(fd_, /*remote=*/false, ip, port);
}

void ConnectionStream::refuse(int status) {
  sendBareAnswer(fd_, status);
  refused_ = true;
  closing_ = true;
}

ssize_t ConnectionStream::fill() {
  milliseconds timeout = readTimeout_;
  bool deadlineFirst = false;
  if (inHead_) {
    const auto left =
        std::chrono::ceil<milliseconds>(headDeadline_ - std::chrono::steady_clock::now());
    deadlineFirst = left <= readTimeout_;
    timeout = std::clamp(left, milliseconds(0), readTimeout_);
  }
  if (!pollFor(fd_, POLLIN, timeout)) {
    if (deadlineFirst) refuse(408);
    return -1;
  }
  ssize_t got = 0;
  do {
    got = ::recv(fd_, buffer_, sizeof buffer_, 0);
  } while (got < 0 && errno == EINTR);
  if (got <= 0) return got < 0 ? -1 : 0;
  begin_ = 0;
  end_ = static_cast<std::size_t>(got);
  return got;
}

std::size_t ConnectionStream::passHead(std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    tail_ = (tail_ << 8) | static_cast<unsigned char>(buffer_[begin_ + i]);
    ++headBytes_;
    if (tail_ == kHeadEnd) {
      inHead_ = false;
      return i + 1;
    }
    if ((tail_ & 0xffff) == kLineEnd) ++headLines_;
    // The request line is one line more than the headers.
    if (headBytes_ > limits_.maxHeadBytes || headLines_ > limits_.maxHeaderCount + 1) {
      refuse(431);
      return 0;
    }
  }
  return n;
}

}  // namespace tavrino::service
