// The child process the simulator runs for a push: what it printed on
// either stream, its exit code, its temporary directory, and that one that
// does not finish is ended rather than holding the run.

#include <gtest/gtest.h>

#include <thread>

#include "sim/extension_process.hpp"

namespace tavrino::sim {
namespace {

using namespace std::chrono_literals;

TEST(SimExtensionProcess, CollectsStreamsAndExitCodeAndEndsAHangWhileTheLoopTurns) {
  int pumped = 0;
  const ChildOutcome child =
      runChild({"/bin/sh", "-c", "sleep 0.2; echo \"tmp=$TMPDIR\"; echo oops >&2; exit 3"},
               "/tmp/sim-run/attachments", 30s, [&] {
                 ++pumped;
                 std::this_thread::sleep_for(5ms);
               });
  ASSERT_TRUE(child.started);
  EXPECT_FALSE(child.timedOut);
  EXPECT_EQ(child.exitCode, 3);
  EXPECT_NE(child.output.find("tmp=/tmp/sim-run/attachments\n"), std::string::npos) << child.output;
  EXPECT_NE(child.output.find("oops"), std::string::npos);
  EXPECT_GT(pumped, 0) << "the main loop keeps turning while the child runs";

  // A missing program, or one that hangs, is reported, not waited for.
  EXPECT_FALSE(runChild({"/nonexistent/extension"}, "", 5s, [] {}).started);
  const ChildOutcome hanging =
      runChild({"/bin/sleep", "60"}, "", 1s, [] { std::this_thread::sleep_for(10ms); });
  ASSERT_TRUE(hanging.started);
  EXPECT_TRUE(hanging.timedOut);
  EXPECT_EQ(hanging.exitCode, -1);
}

}  // namespace
}  // namespace tavrino::sim
