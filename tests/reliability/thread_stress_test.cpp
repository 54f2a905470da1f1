// Sixteen threads use the SDK at once, the way a busy host and the SDK's own
// background work do: store writes, requests built and sent, the step list
// and its callback, the inbox, and page views posted to the main loop. Run
// under ThreadSanitizer it must give no report; in any build every thread's
// own writes must be there afterwards.
//
// TAVRINO_STRESS_ITERATIONS sets the iterations per thread (default 150).

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "core/shared_configuration.hpp"
#include "support/service_test.hpp"
#include "tavrino/client.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"
#include "tavrino/util/transport.hpp"

namespace tavrino::testing {
namespace {

constexpr int kThreads = 16;
constexpr int kInboxKept = 5;

std::string keyOf(int thread, int slot) {
  return "stress_" + std::to_string(thread) + "_" + std::to_string(slot);
}

using ThreadStressTest = ServiceTest;

TEST_F(ThreadStressTest, SixteenThreadsMixingStoreRequestsStepsInboxAndPageViews) {
  const char* wanted = std::getenv("TAVRINO_STRESS_ITERATIONS");
  const int rounds = wanted && std::atoi(wanted) > 0 ? std::atoi(wanted) : 150;
  Tavrino client(baseUrl, "1234", "0");
  client.enableAppInbox();
  client.setAppInboxHistorySize(1000);
  const auto screen = std::make_shared<ui::ViewController>("Stress");
  std::atomic<int> finished{0}, pageViewsPosted{0}, pageViewsRun{0}, stepCallbacks{0};
  const auto countCallback = [&](const std::vector<std::string>&) { stepCallbacks.fetch_add(1); };
  client.setStepCallback(countCallback);

  auto work = [&](int t) {
    QivInbox inbox;
    for (int i = 0; i < rounds; ++i) {
      switch (t % 6) {
        case 0:  // plain store writes and reads
          (void)Util::readDefault(keyOf((t + 6) % kThreads, i % 8));
          Util::setCookieToQIVDefaults(keyOf(t, i % 8), std::to_string(i));
          break;
        case 1: {  // request building from the store and a client map, some sent
          const std::string url = Util::createRequest("track", {{"i", std::to_string(i)}});
          if (i % 10 == 0) Util::getRequest("click", url);
          break;
        }
        case 2:  // the step list, its callback replaced under way
          recordStep("stress step " + std::to_string(t) + "/" + std::to_string(i));
          if (i % 25 == 0) client.setStepCallback(countCallback);
          if (i % 10 == 0) (void)client.getSteps();
          break;
        case 3: {  // the inbox: store, count, read, delete
          const std::string id = "m" + std::to_string(t) + "_" + std::to_string(i);
          inbox.setMessage(
              Value{{"zbid", id}, {"qivibxtimeout", std::to_string(kTestEpoch + 3600)}});
          if (i >= kInboxKept)
            inbox.deleteMessage("m" + std::to_string(t) + "_" + std::to_string(i - kInboxKept));
          if (i % 3 == 0) inbox.markReadMessage(id);
          (void)inbox.getUnreadMessageCount();
          if (i % 20 == 0) (void)inbox.getAllMessages();
          break;
        }
        case 4:  // page views, run by the main loop
          if (i % 10 == 0) {
            pageViewsPosted.fetch_add(1);
            dispatch().mainAsync([&, i] {
              client.execute(screen, {{"p", "Stress"}, {"n", std::to_string(i)}});
              pageViewsRun.fetch_add(1);
            });
          }
          break;
        case 5:  // transactions of several writes
          Util::qivDefaults()->transaction([&] {
            for (int slot = 0; slot < 4; ++slot) {
              Util::qivDefaults()->set(keyOf(t, slot), std::to_string(i));
            }
          });
          break;
      }
    }
    finished.fetch_add(1);
  };

  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(work, t);
  const bool done = dispatch().runUntil(
      [&] { return finished.load() == kThreads && pageViewsRun.load() == pageViewsPosted.load(); },
      std::chrono::minutes(5));
  for (auto& thread : threads) thread.join();
  ASSERT_TRUE(done);
  // Let the page views' answers come back and be handled while nothing else runs.
  waitUntil([] { return false; }, std::chrono::milliseconds(300));
  EXPECT_GT(stepCallbacks.load(), 0);
  EXPECT_LE(client.getSteps().size(), kMaxSteps);
  EXPECT_GT(pageViewsRun.load(), 0);

  // Every thread's last writes are what the store holds.
  const int last = rounds - 1;
  for (int t = 0; t < kThreads; ++t) {
    for (int slot = 0; (t % 6 == 0 || t % 6 == 5) && slot < 4 && slot <= last; ++slot) {
      const int lastForSlot = t % 6 == 5 ? last : last - ((last - slot) % 8);
      EXPECT_EQ(Util::readDefault(keyOf(t, slot)), std::to_string(lastForSlot)) << t;
    }
  }
  // Each inbox thread's last messages, none it deleted: a lost write or delete changes the count.
  EXPECT_EQ(QivInbox().getAllMessages().size(), 3u * std::min(rounds, kInboxKept));

  // Fifteen threads contending for one store on a small machine is not a
  // host's load: the main loop's stalls here are not judged.
  watchdog().reset();
}

}  // namespace
}  // namespace tavrino::testing
