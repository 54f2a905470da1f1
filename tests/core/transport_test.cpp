// Sending requests: what stops before the network, time-outs, the server
// log, and the log lines and steps that hosts and support staff read, exactly
// as they read them, in the order they come. And a failing network or
// service, over real loopback HTTP: whatever the answers do, the main thread
// never waits on them, shutdown does not wait for them, and a broken answer
// changes nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>

#include "core/shared_configuration.hpp"
#include "service/service.hpp"
#include "support/service_test.hpp"
#include "tavrino/async_task.hpp"
#include "tavrino/client.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/ui/view_controller.hpp"
#include "tavrino/util/push.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"
#include "tavrino/util/transport.hpp"

namespace tavrino {
namespace {

using namespace std::chrono_literals;
using service::Behavior;
using service::Failure;

using TransportTest = testing::ServiceTest;

// Requests that do not form a URL stop after the first log line.
TEST_F(TransportTest, BadRequestsAndEmptyAnswersStopWithALogLineAndTheServerLogIsOnePost) {
  enableDebugLog();
  for (std::string bad : {std::string("t?a=1"), baseUrl + "t?a=1\r\nX-Injected: 1"}) {
    log().clear();
    Util::getRequest("track", bad);
    EXPECT_TRUE(log().contains("send request : "));
    EXPECT_FALSE(log().contains("urlsTring not nil")) << bad;
  }
  Util::sendPostRequest(baseUrl + "jsonlog\n", "x");
  dispatch().runFor(100ms);
  EXPECT_TRUE(service.requests().empty());

  // An answer without data, or none, never reaches the completion.
  log().clear();
  service.setBehavior("/d", Behavior::answering(200, ""));
  std::atomic<bool> called{false};
  AsyncTask::getDataFromUrl(baseUrl + "d?&p=x", [&](auto, auto, auto) { called = true; });
  EXPECT_TRUE(waitUntil([&] { return log().contains("response data was empty !"); }));
  EXPECT_FALSE(called);

  service.setBehavior("/t", Behavior::failing(service::Failure::dropConnection));
  AsyncTask::getDataFromUrl(baseUrl + "t", [&](auto, auto, auto) { called = true; });
  EXPECT_TRUE(waitUntil([&] { return log().contains("request failed : "); }));
  EXPECT_FALSE(called);
  // The server log is one post with the message as JSON.
  storeAll("_s=42;qiv_api_key=key");
  Util::addServerLog("x \"quoted\"");
  ASSERT_TRUE(service.waitForRequests("/jsonlog", 1, 5s));
  const auto request = service.requests("/jsonlog")[0];
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.header("Content-Type"), "application/json");
  EXPECT_EQ(Value::parse(request.body), (Value{{"message", "x \"quoted\""}}));
  EXPECT_EQ(request.query,
            (service::QueryPairs{{"api_key", "key"}, {"s", "42"}, {"type", "sdklog"}}));
}

TEST_F(TransportTest, TimeoutsFollowTheTypeAndTheConfiguredRequestTimeout) {
  for (const char* path : {"/a/t", "/b/t", "/c/d", "/e/d"}) {
    service.setBehavior(path, Behavior::delayed(1500ms));
  }
  service.setBehavior("/f/t", Behavior::delayed(2500ms));
  std::atomic<bool> pushclick{false}, other{false}, shortTimeout{false}, defaultTimeout{false},
      tooSlow{false};
  AsyncTask::getDataFromUrl_2("track", baseUrl + "f/t", [&](auto, auto, auto) { tooSlow = true; });
  AsyncTask::getDataFromUrl_2("pushclick", baseUrl + "a/t",
                              [&](auto, auto, auto) { pushclick = true; });
  AsyncTask::getDataFromUrl_2("track", baseUrl + "b/t", [&](auto, auto, auto) { other = true; });
  const auto setRequestTimeout = [](const char* text) {
    processState().withConfig([&](SharedConfiguration& c) { c.requestTimeoutText = text; });
  };
  setRequestTimeout("1");
  AsyncTask::getDataFromUrl(baseUrl + "c/d", [&](auto, auto, auto) { shortTimeout = true; });
  setRequestTimeout("abc");  // not a number: 6 seconds
  AsyncTask::getDataFromUrl(baseUrl + "e/d", [&](auto, auto, auto) { defaultTimeout = true; });

  EXPECT_TRUE(waitUntil([&] { return other && defaultTimeout; }));
  // Both the 2 s and the 1 s limit have passed once the slowest answer is in.
  ASSERT_TRUE(service.waitForRequests("/f/t", 1, 1s));
  dispatch().runUntil([] { return false; }, 1200ms);
  EXPECT_FALSE(tooSlow);       // 2 s limit
  EXPECT_FALSE(pushclick);     // 1 s limit
  EXPECT_FALSE(shortTimeout);  // "_req_to" of 1 s
}

// Returns true iff the "|"-separated texts of wanted occur in seen in order
// (other entries between), each after prefix.
bool inOrder(const std::vector<std::string>& seen, std::string_view wanted,
             const std::string& prefix = "") {
  auto next = seen.begin();
  for (std::size_t from = 0; !wanted.empty() && from <= wanted.size();) {
    const auto bar = std::min(wanted.find('|', from), wanted.size());
    next = std::find(next, seen.end(), prefix + std::string(wanted.substr(from, bar - from)));
    if (next == seen.end()) return false;
    ++next;
    from = bar + 1;
  }
  return true;
}

TEST_F(TransportTest, LogLinesAndStepsAreExact) {
  struct Row {
    const char* what;
    std::function<void()> action;
    std::string lines, steps;  // "|"-separated; "{}" in lines stands for the action's result
  };
  std::string result;
  const std::string avf = baseUrl + "t?&avf=1";
  const Value message{{"zbid", "m"}, {"qivibxtimeout", std::to_string(testing::kTestEpoch + 60)}};
  const std::vector<Row> rows = {
      {"createRequest",
       [&] {
         result = Util::createRequest("inboxlist", {{"k", "v"}});
         result = result.substr(result.find('?') + 1);
       },
       "createURLSuffix return --> {}|create request called with : \nkey : k , value : v", ""},
      {"getDataFromUrl_2", [&] { AsyncTask::getDataFromUrl_2("track", baseUrl + "t", {}); },
       "getdatafromurlcalled2 : ", "request finished. type is : track"},
      {"avf",
       [&] {
         QivUtil().avf({{"avf_url", avf}});
       },
       "avf called.|avf_url : " + avf + "|send request : " + avf +
           "|send request : urlsTring not nil|getdatafromurlcalled2 : ",
       "request start. type is : avf|request finished. type is : avf"},
      {"setMessage", [&] { QivInbox().setMessage(message); },
       "getMessageCount called.|getAllMessages called.|getAppInboxHistorySize called. size : "
       "20|getCounts called.|message callback null",
       "setMessage called|getAllMessages called|inbox message set"},
  };
  enableDebugLog();
  for (Row row : rows) {
    log().clear();
    const auto before = static_cast<long>(processState().steps().size());
    row.action();
    if (const auto at = row.lines.find("{}"); at != std::string::npos) {
      row.lines.replace(at, 2, result);
    }
    const auto newSteps = [&] {
      const auto steps = processState().steps();
      return std::vector<std::string>(steps.begin() + before, steps.end());
    };
    EXPECT_TRUE(waitUntil([&] {
      return inOrder(log().lines(), row.lines, "tavrino_log : ") && inOrder(newSteps(), row.steps);
    })) << row.what;
  }
}

using Clock = std::chrono::steady_clock;

// One frame: the longest the main thread may be held.
constexpr auto kFrame = 16ms;

// The page answer every fault breaks: cookie instructions, which leave traces
// in the store when applied, and a banner with an image.
constexpr const char* kScenario = R"({"settings": {"iosproappr": "1"}, "pages": [{"match": {},
  "answer": [{"function": "_sc", "params": {"n": "fault_a", "v": "1", "t": "600"}},
    {"function": "_sc", "params": {"n": "fault_b", "v": "2", "t": "600"}},
    {"function": "ui_sb", "params": {"uvp": "p", "zbid": "9", "zid": "1", "bsc": "imgtxt",
                                     "img": "{{base}}img/pop.png", "btx": "Go"}}]}]})";

constexpr const char* kAnswerCookies = "fault_a fault_b";

struct Fault {
  const char* name;
  Failure failure;  // none with refused: the port does not listen
  bool refused = false;
};

class NetworkFaultTest : public testing::ServiceTest, public ::testing::WithParamInterface<Fault> {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    std::string error;
    auto scenario = service::Scenario::fromJson(service::Json::parse(kScenario), {}, &error);
    ASSERT_TRUE(scenario) << error;
    service.setScenario(std::move(*scenario));
    // Answers are awaited for a second, not six: the faults outlast it.
    processState().withConfig([](SharedConfiguration& c) { c.requestTimeoutText = "1"; });
  }

  // Shutdown while requests still hang or trickle: it must not wait for them.
  void shutDown() {
    const auto start = Clock::now();
    restartPlatform();
    EXPECT_LE(Clock::now() - start, 2s);
  }

  // Runs call on the main thread and keeps the longest call (once the
  // stores exist: creating a database file is no network wait). A call over
  // one frame runs once more and counts with its faster run: a wait on the
  // network happens every time, a commit held up by a loaded disk does not.
  template <typename Call>
  void timed(const char* what, Call call) {
    if (warmingUp_) return call();
    const auto run = [&] {
      const auto start = Clock::now();
      call();
      return Clock::now() - start;
    };
    auto took = run();
    if (took > kFrame) took = std::min(took, run());
    if (took > longestCall_) {
      longestCall_ = took;
      longestName_ = what;
    }
  }

  // Every public call that reaches the network, from the main thread.
  void useTheSdk(const std::string& base) {
    std::optional<Tavrino> client;
    timed("constructor", [&] { client.emplace(base, "42", "0"); });
    timed("execute", [&] { client->execute(home_, {{"p", "Home"}}); });
    timed("createEvent", [&] { client->createEvent("fault", home_, {}); });
    timed("track", [&] { client->track({{"zbid", "7"}, {"di", "1"}}, {}); });
    timed("add_action", [&] { client->add_action("1", "v", "1", "5", "1", "0", {}); });
    timed("trackDeepLink", [&] { client->trackDeepLink("app://x?utm_source=a"); });
    timed("register", [&] { client->register_(); });
    timed("pushClicked", [&] {
      Util::pushClicked({{"aps", {{"alert", "hi"}}}, {"zbid", "9"}}, "open");
    });
    timed("inbox categories", [&] { QivInbox().getCategoryListwithAPI([](const auto&) {}); });
    timed("server log", [&] { Util::addServerLog("fault"); });
  }

  std::shared_ptr<ui::ViewController> home_ = std::make_shared<ui::ViewController>("HomeScreen");
  bool warmingUp_ = true;
  Clock::duration longestCall_{};
  std::string longestName_;
};

TEST_P(NetworkFaultTest, MainThreadNeverWaitsAndShutdownDoesNotWaitForTheNetwork) {
  // The SDK is pointed at the service, broken by the fault on every path.
  const Fault& fault = GetParam();
  Behavior behavior = Behavior::failing(fault.failure);
  behavior.dripInterval = 100ms;
  if (!fault.refused) service.setBehavior("/*", behavior);
  const std::string base = fault.refused ? service::refusingBaseUrl() : baseUrl;
  useTheSdk(base);
  // The loop turns while the answers fail, hang or trickle in.
  dispatch().runUntil([] { return false; }, 1500ms);
  warmingUp_ = false;
  useTheSdk(base);
  dispatch().runUntil([] { return false; }, 300ms);
  EXPECT_LE(longestCall_, kFrame) << longestName_;
  // Nothing of a broken answer was applied: all or nothing.
  EXPECT_EQ(storedAll(kAnswerCookies), "!fault_a !fault_b");
  shutDown();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, NetworkFaultTest,
    ::testing::Values(Fault{"refused", Failure::none, true}, Fault{"hang", Failure::hang},
                      Fault{"cutMidBody", Failure::cutMidBody},
                      Fault{"status500", Failure::status500}, Fault{"garbage", Failure::garbage},
                      Fault{"hugeBody", Failure::hugeBody}, Fault{"slowDrip", Failure::slowDrip},
                      Fault{"truncated", Failure::truncated},
                      Fault{"drop", Failure::dropConnection}),
    [](const auto& info) { return std::string(info.param.name); });

// The same answer, whole, is applied: the checks above can see an answer. A
// hung image server holds neither the banner's own (asynchronous) load nor a
// blocking load on a global queue, such as getImageFromUrl, at shutdown.
TEST_F(NetworkFaultTest, AWholeAnswerIsAppliedWholeAndShutdownDoesNotWaitForAHungImage) {
  service.setBehavior("/img/*", Behavior::failing(Failure::hang));
  processState().withConfig([](SharedConfiguration& c) { c.requestTimeoutText = "30"; });
  Tavrino client(baseUrl, "42", "0");
  client.execute(home_, {{"p", "Home"}});
  std::atomic<bool> loaded{false};
  dispatch().globalAsync(platform::QualityOfService::utility, [&] {
    platform::current().urlSession().contentsOf(baseUrl + "img/blocking.png", 30s);
    loaded = true;
  });
  ASSERT_TRUE(waitUntil(
      [&] { return Util::readDefault("fault_b") != "" && service.requests("/img/").size() == 2; }));
  EXPECT_EQ(storedAll(kAnswerCookies), "fault_a=1 1700000600 fault_b=2 1700000600");
  shutDown();
  EXPECT_TRUE(loaded);
}

}  // namespace
}  // namespace tavrino
