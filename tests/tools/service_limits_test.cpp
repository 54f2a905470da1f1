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

#include <list>
#include <thread>

#include "service/service.hpp"

namespace tavrino::service {
namespace {

using namespace std::chrono_literals;

// The status that answers a head sent a byte every 100 ms (0: none).
int slowHeadStatus(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  char line[13] = {};
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    pollfd ready{fd, POLLIN, 0};
    for (int i = 0; i < 20 && line[0] == 0; ++i) {
      ::send(fd, i == 0 ? "GET /t HTTP/1.1\r\n" : "X", i == 0 ? 17 : 1, MSG_NOSIGNAL);
      if (::poll(&ready, 1, 100) == 1) ::recv(fd, line, 12, MSG_WAITALL);
    }
  }
  ::close(fd);
  return std::atoi(line + 9);
}

int status(const httplib::Result& result) {
  return result ? result->status : 0;
}

// One row per limit: the request that crosses it is refused, and the service
// serves again afterwards.
TEST(ServiceLimits, EachLimitRefusesWhatCrossesItAndTheServiceGoesOn) {
  httplib::Headers many;
  for (int i = 0; i < 21; ++i) many.emplace("X-" + std::to_string(i), "v");
  const struct {
    const char* limit;
    Limits limits;
    std::string body;  // posted when not empty; gzipped when compress
    httplib::Headers headers;
    bool compress = false;
    int held = 0;  // connections held open before the request
    int refusal = 0;
  } rows[] = {
      {"body", {.maxBodyBytes = 1000}, std::string(1001, 'b'), {}, false, 0, 413},
      // Small on the wire, over the bound once inflated.
      {"inflated body", {.maxBodyBytes = 1000}, std::string(1'000'000, '0'), {}, true, 0, 413},
      {"header count", {.maxHeaderCount = 20}, "", many, false, 0, 431},
      {"head size", {.maxHeadBytes = 2000}, "", {{"X-Big", std::string(2000, 'h')}}, false, 0, 431},
      {"connections", {.maxConnections = 2}, "", {}, false, 2, 503},
      {"connections per client", {.maxConnectionsPerClient = 2}, "", {}, false, 2, 503},
      // A byte at a time, each well within the read time-out.
      {"head deadline", {.headDeadline = 300ms}, "", {}, false, 0, 408},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.limit);
    Service service({}, row.limits);
    ASSERT_FALSE(service.start().empty());
    std::list<httplib::Client> held;
    for (int i = 0; i < row.held; ++i) {
      held.emplace_back("127.0.0.1", service.port()).set_keep_alive(true);
      EXPECT_EQ(status(held.back().Get("/t")), 200);
    }
    httplib::Client client("127.0.0.1", service.port());
    client.set_compress(row.compress);
    EXPECT_EQ(row.refusal == 408 ? slowHeadStatus(service.port())
              : row.body.empty() ? status(client.Get("/t", row.headers))
                                 : status(client.Post("/t", row.body, "text/plain")),
              row.refusal);
    held.clear();
    // Room again once they are gone (their threads end soon after).
    int served = 0;
    for (int i = 0; i < 100 && served != 200; ++i) {
      if (i > 0) std::this_thread::sleep_for(10ms);
      served = status(client.Get("/t"));
    }
    EXPECT_EQ(served, 200);
  }
}

TEST(ServiceLimits, TheRecordKeepsBoundedBodiesAndDropsTheOldest) {
  Service service({}, {.maxBodyBytes = 1000, .maxRecordBytes = 4000, .maxRecordedBodyBytes = 100});
  ASSERT_FALSE(service.start().empty());
  httplib::Client client("127.0.0.1", service.port());
  EXPECT_EQ(status(client.Post("/t", std::string(1000, 'b'), "text/plain")), 200);
  const auto first = service.requests();
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(std::pair(first[0].body, first[0].bodyBytes),
            std::pair(std::string(100, 'b'), std::size_t{1000}));
  for (int i = 0; i < 30; ++i) ASSERT_EQ(status(client.Post("/t", "x", "text/plain")), 200);
  const RecordStats stats = service.recordStats();
  EXPECT_EQ(std::tuple(stats.recorded + stats.dropped, stats.dropped > 0,
                       stats.recordedBytes <= 4000, service.requests().size()),
            std::tuple(31u, true, true, stats.recorded));
  auto summary = client.Get("/_control/summary");
  EXPECT_EQ(summary ? Json::parse(summary->body)["dropped"] : Json(), stats.dropped);
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
  const auto answer = [&](const std::string& host, const std::string& token) {
    return status(httplib::Client(host, service.port())
                      .Get("/_control/requests", {{"X-Control-Token", token}}));
  };
  const int guessed = answer(*address, "guess");
  service.setRemoteControlToken("s3cret");
  EXPECT_EQ((std::vector<int>{guessed, answer(*address, "s3cre"), answer(*address, "s3cret"),
                              answer("127.0.0.1", "")}),
            (std::vector<int>{403, 403, 200, 200}));
  auto hit = httplib::Client(*address, service.port()).Get("/t");
  EXPECT_TRUE(hit && hit->status == 200) << "hits from other hosts are served";
}

}  // namespace
}  // namespace tavrino::service
