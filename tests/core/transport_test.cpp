#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "core/shared_configuration.hpp"
#include "support/service_test.hpp"
#include "tavrino/async_task.hpp"
#include "tavrino/client.hpp"
#include "tavrino/util/store.hpp"
#include "tavrino/util/transport.hpp"

namespace tavrino {
namespace {

using namespace std::chrono_literals;
using service::Behavior;

class TransportTest : public testing::ServiceTest {
 protected:
  void setRequestTimeout(const std::string& text) {
    processState().withConfig([&](SharedConfiguration& c) { c.requestTimeoutText = text; });
  }
  static bool hasStep(const std::string& step) {
    const auto steps = processState().steps();
    return std::ranges::find(steps, step) != steps.end();
  }
};

// Requests that do not form a URL stop after the first log line.
TEST_F(TransportTest, BadRequestsAndEmptyAnswersStopWithALogLine) {
  enableDebugLog();
  for (std::string bad : {std::string("t?a=1"), std::string(""), baseUrl + "t?a=1\r\nX-Injected: 1",
                          baseUrl + "t?a b"}) {
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

TEST_F(TransportTest, ServerLogIsOnePostWithTheMessageAsJson) {
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

}  // namespace
}  // namespace tavrino
