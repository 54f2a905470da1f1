// Broken answers: what a failing network or a failing service looks like
// from the client's side.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "service/answers.hpp"
#include "service/service.hpp"

namespace tavrino::service {
namespace {

// Neither JSON nor UTF-8, with a NUL inside.
constexpr char kGarbage[] = "\xff\xfe\x00{\"[garbage\x80\xc3(";

constexpr std::size_t kHugeChunkBytes = 64 * 1024;

// 64 KiB of "0," pairs: the middle of the huge array.
const std::string& hugeChunk() {
  static const std::string chunk = [] {
    std::string text;
    text.reserve(kHugeChunkBytes);
    while (text.size() < kHugeChunkBytes) text += "0,";
    return text;
  }();
  return chunk;
}

}  // namespace

std::string refusingBaseUrl() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return {};
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  // Bound but never listening: the port is ours, and refuses, until closed.
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port == 0 ? std::string() : "http://127.0.0.1:" + std::to_string(port) + "/";
}

void Service::answerFault(const Behavior& behavior, httplib::Response& ownAnswer,
                          httplib::Response& response) {
  const auto body = std::make_shared<std::string>(std::move(ownAnswer.body));
  const std::string type = ownAnswer.get_header_value("Content-Type");
  const std::string contentType = type.empty() ? "application/json" : type;
  switch (behavior.failure) {
    case Failure::none:
      return;
    case Failure::status500:
      response.status = 500;
      return;
    case Failure::dropConnection:
      // A provider that gives up before writing makes the library close the
      // connection with the promised body missing.
      response.set_content_provider(
          64, "application/json",
          [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
      return;
    case Failure::garbage:
      response.set_content(kGarbage, sizeof kGarbage - 1, "application/json");
      return;
    case Failure::hang:
      waitFor(std::chrono::hours(24));
      response.status = 503;
      return;
    case Failure::cutMidBody: {
      response.status = ownAnswer.status;
      const std::size_t half = body->size() / 2;
      response.set_content_provider(
          std::max<std::size_t>(body->size(), 2), contentType,
          [body, half](std::size_t offset, std::size_t, httplib::DataSink& sink) {
            if (offset < half) return sink.write(body->data() + offset, half - offset);
            return false;
          });
      return;
    }
    case Failure::truncated:
      response.status = ownAnswer.status;
      response.set_content(body->substr(0, body->size() / 2), contentType);
      return;
    case Failure::hugeBody: {
      auto sent = std::make_shared<std::size_t>(0);
      response.set_chunked_content_provider(
          "application/json", [this, sent](std::size_t, httplib::DataSink& sink) {
            if (!waitFor(std::chrono::milliseconds(0))) return false;
            if (*sent == 0) {
              *sent = 1;
              return sink.write("[", 1);
            }
            const std::size_t left = kHugeBodyBytes - *sent;
            if (left <= kHugeChunkBytes + 2) {
              // The middle ends in "," after an even count of bytes: close
              // the array with one more element, or with a blank after one.
              const std::size_t middle = left - 2;
              const bool ok = sink.write(hugeChunk().data(), middle) &&
                              sink.write(middle % 2 == 0 ? "0]" : " ]", 2);
              sink.done();
              return ok;
            }
            *sent += kHugeChunkBytes;
            return sink.write(hugeChunk().data(), hugeChunk().size());
          });
      return;
    }
    case Failure::slowDrip: {
      response.status = ownAnswer.status;
      if (body->empty()) *body = "{}";
      const auto interval = behavior.dripInterval;
      response.set_content_provider(
          body->size(), contentType,
          [this, body, interval](std::size_t offset, std::size_t, httplib::DataSink& sink) {
            if (offset > 0 && !waitFor(interval)) return false;
            return sink.write(body->data() + offset, 1);
          });
      return;
    }
  }
}

}  // namespace tavrino::service
