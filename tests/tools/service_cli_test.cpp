// The reference service as a host developer runs it: on a chosen address,
// with a line and a log entry for every hit, and its images named by the
// address each client used.

#include <httplib.h>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>

#include "desktop_session/helper_process.hpp"
#include "desktop_session/temp_dir.hpp"
#include "service/service.hpp"

namespace tavrino::service {
namespace {

using namespace std::chrono_literals;

TEST(ServiceAddress, EveryInterfaceAnswersWithTheClientsOwnNameForItLoopbackWithItsOwn) {
  const auto imageOf = [](Service& service, const std::string& host) {
    httplib::Client client("127.0.0.1", service.port());
    auto answer = client.Get("/d?p=x", {{"Host", host}});
    return answer ? answer->body : "(no answer)";
  };
  const auto scenario = Scenario::fromJson(
      Json::parse(R"({"pages": [{"match": {}, "answer": [{"img": "{{base}}img/a.png"}]}]})"), {},
      nullptr);
  ASSERT_TRUE(scenario);
  Service service(*scenario);
  const std::string base = service.start(0, "0.0.0.0");
  const std::string port = std::to_string(service.port());
  EXPECT_EQ(base, "http://127.0.0.1:" + port + "/");
  EXPECT_EQ(imageOf(service, "192.168.1.20:" + port),
            "[{\"img\":\"http://192.168.1.20:" + port + "/img/a.png\"}]");
  // A Host that is not plainly a name does not reach the answer.
  EXPECT_EQ(imageOf(service, "evil\"/><x"), "[{\"img\":\"" + base + "img/a.png\"}]");
  service.stop();
  EXPECT_FALSE(service.isRunning()) << "stops with connections on any address";

  Service loopback(*scenario);
  const std::string own = loopback.start();
  EXPECT_EQ(imageOf(loopback, "elsewhere:1"), "[{\"img\":\"" + own + "img/a.png\"}]");
  Service other;
  EXPECT_EQ(other.start(0, "localhost"), "") << "an IPv4 address only";
}

TEST(ServiceBinary, PrintsALinePerHitEscapedLogsThemAndStopsOnTerm) {
  testing::TempDir dir;
  const auto log = dir.path() / "hits.jsonl";
  testing::HelperProcess service(
      TAVRINO_SERVICE_PATH, {"--listen", "127.0.0.1:0", "--log", log.string(), "--remote-control"});
  const auto first = service.readLine(10s);
  ASSERT_TRUE(first);
  const std::string prefix = "tavrino-service listening on http://127.0.0.1:";
  ASSERT_EQ(first->rfind(prefix, 0), 0u) << *first;
  const int port = std::stoi(first->substr(prefix.size()));
  const auto token = service.readLine(10s);
  ASSERT_TRUE(token);
  EXPECT_EQ(token->size(), std::string("tavrino-service control token: ").size() + 32) << *token;

  httplib::Client client("127.0.0.1", port);
  client.set_url_encode(false);
  ASSERT_TRUE(
      client.Get("/d?p=Home&s=1%1B%5B2J%0D%0Aforged&&b=x%26y&e=%C3%87&b=a+b&flag&bad=%zz&"));
  const auto hit = service.readLine(10s);
  ASSERT_TRUE(hit);
  EXPECT_NE(hit->find(R"( GET /d p=Home s=1\x1b[2J\x0d\x0aforged)"), std::string::npos) << *hit;

  service.signal(SIGTERM);
  EXPECT_EQ(service.finish(10s), 0);
  EXPECT_NE(service.output().find("stopped (1 requests served)"), std::string::npos);
  std::ifstream in(log);
  std::string line;
  std::getline(in, line);
  auto entry = Json::parse(line, nullptr, false);
  // The query decoded, in order, repeated keys kept and empty pieces left out.
  EXPECT_EQ(Json::array({entry["path"], entry["query"]}),
            Json::parse(R"(["/d", [["p", "Home"], ["s", "1\u001b[2J\r\nforged"], ["b", "x&y"],
                ["e", "\u00c7"], ["b", "a+b"], ["flag", ""], ["bad", "%zz"]]])"));
}

}  // namespace
}  // namespace tavrino::service
