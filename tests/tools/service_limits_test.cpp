// The reference service under abuse: what it refuses, and that it keeps
// answering the clients within bounds.

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

#include <gtest/gtest.h>

#include <thread>

#include "service/service.hpp"

namespace tavrino::service {
namespace {

using namespace std::chrono_literals;

// A client connection on raw sockets, for requests no HTTP client sends.
class RawClient {
 public:
  explicit RawClient(int port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawClient() { ::close(fd_); }

  bool send(std::string_view bytes) {
    return connected_ && ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) > 0;
  }
  // The status of the answer that arrives within timeout; 0 when the
  // connection closes or nothing comes.
  int status(std::chrono::milliseconds timeout) {
    pollfd ready{fd_, POLLIN, 0};
    char line[13] = {};
    if (::poll(&ready, 1, static_cast<int>(timeout.count())) != 1 ||
        ::recv(fd_, line, 12, MSG_WAITALL) != 12) {
      return 0;
    }
    return std::atoi(line + 9);
  }

 private:
  int fd_;
  bool connected_ = false;
};

TEST(ServiceLimits, BodiesHeadsAndTheRecordAreBounded) {
  Service service({}, {.maxBodyBytes = 1000,
                       .maxHeadBytes = 2000,
                       .maxHeaderCount = 20,
                       .maxRecordBytes = 4000,
                       .maxRecordedBodyBytes = 100});
  ASSERT_FALSE(service.start().empty());
  httplib::Client client("127.0.0.1", service.port());
  const auto status = [](const httplib::Result& result) { return result ? result->status : 0; };

  EXPECT_EQ(status(client.Post("/t", std::string(1000, 'b'), "text/plain")), 200);
  EXPECT_EQ(status(client.Post("/t", std::string(1001, 'b'), "text/plain")), 413);
  httplib::Headers many;
  for (int i = 0; i < 21; ++i) many.emplace("X-" + std::to_string(i), "v");
  EXPECT_EQ(status(client.Get("/t", many)), 431);
  EXPECT_EQ(status(client.Get("/t", {{"X-Big", std::string(2000, 'h')}})), 431);
  // Small on the wire, over the bound once inflated.
  httplib::Client gzip("127.0.0.1", service.port());
  gzip.set_compress(true);
  EXPECT_EQ(status(gzip.Post("/t", std::string(1'000'000, '0'), "text/plain")), 413);

  const auto first = service.requests();
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].body, std::string(100, 'b'));
  EXPECT_EQ(first[0].bodyBytes, 1000u);
  for (int i = 0; i < 30; ++i) ASSERT_EQ(status(client.Post("/t", "x", "text/plain")), 200);
  const RecordStats stats = service.recordStats();
  EXPECT_EQ(stats.recorded + stats.dropped, 31u);
  EXPECT_GT(stats.dropped, 0u);
  EXPECT_LE(stats.recordedBytes, 4000u);
  EXPECT_EQ(service.requests().size(), stats.recorded);
  auto summary = client.Get("/_control/summary");
  EXPECT_EQ(summary ? Json::parse(summary->body)["dropped"] : Json(), stats.dropped);
}

TEST(ServiceLimits, ConnectionsBeyondTheCapsAreRefusedAndSlowHeadsCut) {
  for (const Limits& limits : {Limits{.maxConnections = 2}, Limits{.maxConnectionsPerClient = 2}}) {
    Service service({}, limits);
    ASSERT_FALSE(service.start().empty());
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < 3; ++i) clients.push_back(std::make_unique<RawClient>(service.port()));
    int answered = 0;
    for (auto& client : clients) {
      client->send("GET /t HTTP/1.1\r\nHost: x\r\n\r\n");
      answered += client->status(2s) == 200;
    }
    EXPECT_EQ(answered, 2);
    clients.clear();
    // Room again once they are gone (their threads end soon after).
    httplib::Client later("127.0.0.1", service.port());
    int status = 0;
    for (int i = 0; i < 100 && status != 200; ++i) {
      if (i > 0) std::this_thread::sleep_for(10ms);
      auto result = later.Get("/t");
      status = result ? result->status : 0;
    }
    EXPECT_EQ(status, 200);
  }

  Service service({}, {.headDeadline = 300ms});
  ASSERT_FALSE(service.start().empty());
  RawClient client(service.port());
  int status = 0;
  // A byte at a time, each well within the read time-out.
  for (int i = 0; i < 20 && status == 0; ++i) {
    client.send(i == 0 ? "GET /t HTTP/1.1\r\n" : "X");
    status = client.status(100ms);
  }
  EXPECT_EQ(status, 408);
}

// An IPv4 address of this machine other than a loopback one.
std::optional<std::string> otherLocalAddress() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return std::nullopt;
  std::optional<std::string> found;
  for (const ifaddrs* entry = list; entry != nullptr && !found; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    char text[INET_ADDRSTRLEN];
    const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
    inet_ntop(AF_INET, &address->sin_addr, text, sizeof text);
    if (!std::string_view(text).starts_with("127.")) found = text;
  }
  freeifaddrs(list);
  return found;
}

TEST(ServiceLimits, OtherHostsReachTheControlEndpointOnlyWithTheToken) {
  const auto address = otherLocalAddress();
  if (!address) GTEST_SKIP() << "no address but loopback";
  Service service;
  ASSERT_FALSE(service.start(0, "0.0.0.0").empty());
  const auto status = [&](const std::string& host, const std::string& token) {
    httplib::Client client(host, service.port());
    httplib::Headers headers;
    if (!token.empty()) headers.emplace("X-Control-Token", token);
    auto result = client.Get("/_control/requests", headers);
    return result ? result->status : 0;
  };
  const int guessed = status(*address, "guess");
  service.setRemoteControlToken("s3cret");
  EXPECT_EQ((std::vector<int>{guessed, status(*address, ""), status(*address, "s3cre"),
                              status(*address, "s3cret"), status("127.0.0.1", "")}),
            (std::vector<int>{403, 403, 403, 200, 200}));
  auto hit = httplib::Client(*address, service.port()).Get("/t");
  EXPECT_TRUE(hit && hit->status == 200) << "hits from other hosts are served";
}

}  // namespace
}  // namespace tavrino::service
