// The main queue on a GLib main context: order, timers, wake-ups from other
// threads, and nothing left behind by a dispatch that goes.

#include "gtk/glib_dispatch.hpp"

#include <thread>

#include "support/sdk_test.hpp"

namespace tavrino::testing {
namespace {

using namespace std::chrono_literals;

using GlibDispatchTest = SdkTest;

TEST_F(GlibDispatchTest, RunsWorkInOrderFiresTimersWakesForOtherThreadsAndDropsWhatIsLeft) {
  GMainContext* context = g_main_context_new();
  auto glib = std::make_unique<gtk::GlibDispatch>(context, dispatch(), log());
  std::vector<std::string> ran;
  glib->mainAsyncAfter(40ms, [&] { ran.push_back("late"); });
  glib->mainAsync([&] { ran.push_back("first"); });
  glib->mainAsync([] { throw std::runtime_error("campaign bug"); });
  glib->mainAsyncAfter(0ms, [&] { ran.push_back("second"); });
  int fires = 0;
  std::shared_ptr<platform::Timer> timer;
  timer = glib->scheduledTimer(5ms, [&] {
    if (++fires == 3) timer->invalidate();
  });
  glib->runFor(100ms);
  // A post from another thread wakes the loop blocked in run().
  std::thread other([&] {
    std::this_thread::sleep_for(20ms);
    glib->mainAsync([&] {
      ran.push_back("from another thread");
      glib->stop();
    });
  });
  glib->run();
  other.join();

  EXPECT_EQ(ran, (std::vector<std::string>{"first", "second", "late", "from another thread"}));
  EXPECT_EQ(fires, 3);
  EXPECT_TRUE(log().contains("main queue task failed: campaign bug"));

  // Work still queued goes with the dispatch, unrun.
  auto captured = std::make_shared<int>(0);
  glib->mainAsync([captured] { ++*captured; });
  glib->mainAsyncAfter(1h, [captured] { ++*captured; });
  glib.reset();
  while (g_main_context_iteration(context, FALSE)) {
  }
  g_main_context_unref(context);
  EXPECT_EQ(*captured, 0);
  EXPECT_EQ(captured.use_count(), 1);
}

}  // namespace
}  // namespace tavrino::testing
