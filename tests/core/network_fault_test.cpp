// A failing network or service, over real loopback HTTP: whatever the answers
// do, the main thread never waits on them, shutdown does not wait for them,
// and a broken answer changes nothing.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>

#include "core/shared_configuration.hpp"
#include "service/service.hpp"
#include "support/service_test.hpp"
#include "tavrino/client.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/ui/view_controller.hpp"
#include "tavrino/util/push.hpp"
#include "tavrino/util/store.hpp"
#include "tavrino/util/transport.hpp"

namespace tavrino {
namespace {

using namespace std::chrono_literals;
using service::Behavior;
using service::Failure;
using Clock = std::chrono::steady_clock;

// One frame: the longest the main thread may be held.
constexpr auto kFrame = 16ms;

// The page answer every fault breaks: cookie instructions, which leave traces
// in the store when applied, and a banner with an image.
constexpr const char* kScenario = R"({
  "settings": {"iosproappr": "1"},
  "categories": ["news", "deals"],
  "pages": [{"match": {}, "answer": [
    {"function": "_sc", "params": {"n": "fault_a", "v": "1", "t": "600"}},
    {"function": "_sc", "params": {"n": "fault_b", "v": "2", "t": "600"}},
    {"function": "_sc", "params": {"n": "fault_c", "v": "3", "t": "600"}},
    {"function": "_sc", "params": {"n": "fault_d", "v": "4", "t": "600"}},
    {"function": "ui_sb", "params": {"uvp": "p", "zbid": "9", "zid": "1", "bsc": "imgtxt",
                                     "img": "{{base}}img/pop.png", "btx": "Go"}}]}]
})";

constexpr const char* kAnswerCookies = "fault_a fault_b fault_c fault_d";

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
    timed("saveClickEvent", [&] { client->saveClickEvent({{"zbid", "8"}}, {}); });
    timed("addItem", [&] { client->addItem("sku", "1", "9.99", "shoes", "Shoe"); });
    timed("add_action", [&] { client->add_action("1", "v", "1", "5", "1", "0", {}); });
    timed("trackDeepLink", [&] { client->trackDeepLink("app://x?utm_source=a"); });
    timed("register", [&] { client->register_(); });
    timed("pushClicked", [&] {
      Util::pushClicked({{"aps", {{"alert", "hi"}}}, {"zbid", "9"}}, "open");
    });
    timed("inbox categories", [&] { QivInbox().getCategoryListwithAPI([](const auto&) {}); });
    timed("inbox counts", [&] { QivInbox().getCounts(); });
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
  EXPECT_EQ(storedAll(kAnswerCookies), "!fault_a !fault_b !fault_c !fault_d");
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
      [&] { return Util::readDefault("fault_d") != "" && service.requests("/img/").size() == 2; }));
  EXPECT_EQ(storedAll(kAnswerCookies),
            "fault_a=1 1700000600 fault_b=2 1700000600 fault_c=3 1700000600 fault_d=4 1700000600");
  shutDown();
  EXPECT_TRUE(loaded);
}

}  // namespace
}  // namespace tavrino
