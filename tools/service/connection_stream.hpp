#pragma once

// One accepted connection as the HTTP library reads and writes it, with the
// head of each request bounded: its size, its count of header lines and the
// time from its first byte to its end. A request over a bound is answered
// (431 or 408) here, and the connection is then good for nothing more.
//
// Thread-safety: used by the one thread that serves the connection.

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <string>

#include "service/limits.hpp"

namespace tavrino::service {

// Sends a bodiless answer with status (408, 431 or 503) and
// "Connection: close" without waiting for the client to take it.
void sendBareAnswer(int fd, int status);

class ConnectionStream final : public httplib::Stream {
 public:
  ConnectionStream(int fd, const Limits& limits, std::chrono::milliseconds readTimeout,
                   std::chrono::milliseconds writeTimeout);

  // Starts the bounds of a request's head; call before each request.
  void beginRequest();
  // Returns true iff bytes of a next request are buffered or arrive within
  // timeout.
  bool waitForRequest(std::chrono::milliseconds timeout);
  // Makes the connection close after the answer in progress.
  void closeAfterAnswer() { closing_ = true; }
  bool closing() const { return closing_; }

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* ptr, size_t size) override;
  ssize_t write(const char* ptr, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  socket_t socket() const override { return fd_; }

 private:
  // Answers status itself and ends the connection.
  void refuse(int status);
  // Reads what arrives within the read time-out (and the head's deadline):
  // the count, 0 when the peer closed, -1 when nothing came.
  ssize_t fill();
  // Counts bytes delivered while the head lasts; returns how many of n
  // belong to it, or 0 after refusing.
  std::size_t passHead(std::size_t n);

  const int fd_;
  const Limits limits_;
  const std::chrono::milliseconds readTimeout_;
  const std::chrono::milliseconds writeTimeout_;
  char buffer_[4096];
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool inHead_ = false;
  std::size_t headBytes_ = 0;
  std::size_t headLines_ = 0;
  // The last four bytes of the head, to find its blank line.
  unsigned tail_ = 0;
  std::chrono::steady_clock::time_point headDeadline_;
  bool closing_ = false;
  bool refused_ = false;
};

}  // namespace tavrino::service
