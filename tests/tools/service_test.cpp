#include "service/service.hpp"

#include <httplib.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>

#include "desktop_session/temp_dir.hpp"
#include "service/json_text.hpp"
#include "sim/scenario.hpp"

namespace tavrino::service {
namespace {

using namespace std::chrono_literals;

constexpr const char* kScenario = R"({"pages": [
    {"match": {"p": "Home"}, "answer": [{"function": "ui_sb", "params": {"img": "{{base}}img/a.png"}}]},
    {"match": {"e": "cart", "n": 2}, "answer": [{"function": "add_act", "params": {"id": "7"}}]}],
  "socialProof": [{"t": "5", "i": 7, "count": 42}]})";

class ServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    auto scenario = Scenario::fromJson(Json::parse(kScenario), {}, &error);
    ASSERT_TRUE(scenario) << error;
    service_.setScenario(*scenario);
    base_ = service_.start();
    ASSERT_FALSE(base_.empty());
  }

  // A client that sends targets exactly as given.
  httplib::Client client(bool keepAlive = false) {
    httplib::Client cli("127.0.0.1", service_.port());
    cli.set_url_encode(false);
    cli.set_keep_alive(keepAlive);
    return cli;
  }

  std::string get(const std::string& target, int expectedStatus = 200) {
    auto result = client().Get(target);
    EXPECT_EQ(result ? result->status : 0, expectedStatus) << target;
    return result ? result->body : "";
  }

  Service service_;
  std::string base_;
};

// Campaign, settings, category, social-proof and image answers are what the
// SDK's own tests stand on; here what they would not notice.
TEST_F(ServiceTest, AnswersEndpointsFromTheScenario) {
  EXPECT_EQ(Json::parse(get("/sdk/v1/d?&p=Home&s=1")),
            Json::parse(R"([{"function":"ui_sb","params":{"img":")" + base_ + R"(img/a.png"}}])"))
      << "endpoints known by their path's end";
  for (const char* target : {"/d?&e=cart&n=3", "/d?", "/sproof/?s=9&t=5&i=8&e=g"}) {
    EXPECT_EQ(get(target), "[]") << target;
  }
  EXPECT_EQ(get("/img/sample.gif"), builtInImage("sample.gif").value_or("?"));
  get("/nothing-here", 404);
  get("/xd", 404);
}

TEST_F(ServiceTest, LoadsScenarioFilesServesTheirImagesOnlyAndRefusesMalformedOnes) {
  testing::TempDir dir;
  std::filesystem::create_directory(dir.path() / "pics");
  std::ofstream(dir.path() / "pics" / "b.jpg", std::ios::binary) << std::string("\xff\xd8jpg", 5);
  std::ofstream(dir.path() / "secret.txt") << "secret";
  std::filesystem::create_symlink(dir.path() / "secret.txt", dir.path() / "pics" / "link.png");
  std::filesystem::create_directory_symlink(dir.path(), dir.path() / "pics" / "up");
  std::ofstream(dir.path() / "s.json") << R"({"images": "pics"})";
  std::string error;
  auto scenario = Scenario::load(dir.path() / "s.json", &error);
  ASSERT_TRUE(scenario) << error;
  service_.setScenario(*scenario);
  EXPECT_EQ(get("/img/b.jpg"), std::string("\xff\xd8jpg", 5));
  for (const char* target : {"/img/missing.png", "/img/..%2Fsecret.txt", "/img/", "/img/link.png",
                             "/img/up/secret.txt"}) {
    get(target, 404);
  }
  EXPECT_FALSE(Scenario::load("/nonexistent/scenario.json", &error));
  for (const char* text : {R"([])", R"({"settings": []})", R"({"categories": [1]})",
                           R"({"pages": [{"match": {"p": {}}}]})", R"({"pages": {}})",
                           R"({"socialProof": [{"t": "1"}]})", R"({"images": 3})"}) {
    error.clear();
    EXPECT_FALSE(Scenario::fromJson(Json::parse(text), {}, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

TEST_F(ServiceTest, BehaviorsAndNetworkFaultsBreakTheEndpointsOwnAnswerUntilStop) {
  // The failures themselves are proven by the URL session's and the network
  // fault tests, as failures of the transfer that change nothing.
  auto once = Behavior::answering(201, "scripted", "text/plain");
  once.times = 1;
  service_.setBehavior("/u", once);
  EXPECT_EQ(get("/u?", 201), "scripted");
  EXPECT_EQ(get("/u?"), "{}");

  service_.setBehavior("/img/*", Behavior::failing(Failure::status500));
  service_.setBehavior("/img/ok.png", Behavior::answering(200, "exact"));
  get("/img/a.png", 500);
  EXPECT_EQ(get("/img/ok.png"), "exact");

  // A hang lasts until the service stops, as does an idle keep-alive
  // connection the library would otherwise wait out.
  service_.setBehavior("/cmp*", Behavior::failing(Failure::hang));
  auto hung = std::async(std::launch::async, [&] {
    auto result = client().Get("/cmpdata?");
    return result ? result->status : -1;
  });
  auto idle = client(/*keepAlive=*/true);
  ASSERT_TRUE(idle.Get("/appinboxcat?"));
  ASSERT_TRUE(service_.waitForRequests("/cmpdata", 1, 10s));
  EXPECT_EQ(hung.wait_for(300ms), std::future_status::timeout);
  const auto stopping = std::chrono::steady_clock::now();
  service_.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, 3s);
  EXPECT_NE(hung.get(), 200);
}

TEST_F(ServiceTest, ControlEndpointSteersTheService) {
  auto cli = client();
  auto post = [&](const std::string& path, const std::string& body) {
    auto result = cli.Post(path, body, "application/json");
    return result ? result->status : -1;
  };
  EXPECT_EQ(post("/_control/behavior",
                 R"({"path": "/cmpdata", "status": 202, "body": {"settings": {}}, "times": 1})"),
            200);
  EXPECT_EQ(post("/_control/behavior", R"({"path": "/t", "failure": "explode"})"), 400);
  EXPECT_EQ(post("/_control/behavior", R"({"path": "/x", "failure": "drip", "dripMs": "a"})"), 400);
  EXPECT_EQ(post("/_control/behavior", R"({"delayMs": 5})"), 400);
  EXPECT_EQ(post("/_control/scenario", "not json"), 400);
  // Image folders only inside the control root, however they are spelled.
  testing::TempDir root;
  std::filesystem::create_directory(root.path() / "pics");
  std::filesystem::create_directory_symlink("/", root.path() / "out");
  service_.setControlRoot(root.path());
  for (const char* images : {"/", "..", "pics/../..", "out", "out/etc"}) {
    EXPECT_EQ(post("/_control/scenario", Json{{"images", images}}.dump()), 400) << images;
  }
  EXPECT_EQ(post("/_control/scenario", R"({"images": "pics"})"), 200);
  EXPECT_EQ(post("/_control/scenario", R"({"categories": ["only"]})"), 200);

  EXPECT_EQ(get("/cmpdata?", 202), R"({"settings":{}})");
  EXPECT_EQ(get("/appinboxcat?"), R"([{"NAME":"only"}])");

  // The simulator's runs read the record through the control endpoint.
  EXPECT_EQ(service_.requests().size(), 2u) << "control requests are not recorded";
  EXPECT_EQ(post("/_control/reset", ""), 200);
  EXPECT_TRUE(service_.requests().empty());
}

TEST_F(ServiceTest, RefusesDocumentsNestedTooDeepWhereverTheyComeFrom) {
  // in, with "@" replaced by an object holding arrays, depth levels in all.
  const auto nested = [](std::string in, std::size_t depth) {
    const std::string arrays = std::string(depth - 1, '[') + std::string(depth - 1, ']');
    return in.replace(in.find('@'), 1, R"({"a":)" + arrays + "}");
  };
  std::string error;
  EXPECT_TRUE(parseJson(nested("@", kMaxJsonNesting), &error));
  EXPECT_FALSE(parseJson(nested("@", kMaxJsonNesting + 1), &error));
  EXPECT_EQ(error, "nested deeper than 256");
  auto answer =
      client().Post("/_control/scenario", nested(R"({"settings": @})", 100000), "application/json");
  EXPECT_TRUE(answer && answer->status == 400);
  testing::TempDir dir;
  std::ofstream(dir.path() / "service.json") << nested(R"({"settings": @})", 100000);
  std::ofstream(dir.path() / "sim.json") << nested(R"({"sdk": {"allowedFunctions": @}})", 100000);
  EXPECT_FALSE(Scenario::load(dir.path() / "service.json", &error));
  EXPECT_NE(error.find("nested deeper"), std::string::npos) << error;
  EXPECT_FALSE(sim::Scenario::load(dir.path() / "sim.json", &error));
  EXPECT_NE(error.find("nested deeper"), std::string::npos) << error;
}

}  // namespace
}  // namespace tavrino::service
