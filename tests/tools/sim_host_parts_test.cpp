// The simulator's host side: the reading of the SDK's log into decisions,
// the files of a run, and the child process it runs for a push (its
// streams, exit code and temporary directory; one that does not finish is
// ended).

#include <gtest/gtest.h>

#include <fstream>
#include <thread>
#include <tuple>

#include "desktop_session/temp_dir.hpp"
#include "sim/extension_process.hpp"
#include "sim/run_files.hpp"
#include "sim/sdk_messages.hpp"

namespace tavrino::sim {
namespace {

using namespace std::chrono_literals;

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(SimMessages, LogLinesBecomeDecisions) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"checking showing criteria .per visit show count.return.", "heldBack", "in this visit"},
      {"show once per pageview. group name : g1.return.", "heldBack", "group \"g1\""},
      {"create banner called.", "shown", "lays the campaign out"},
      {"create banner ratio is zero or infinite.return.", "refused", "ratio is zero"},
      {"request failed : timed out", "failed", "timed out"},
      {"shake failed : boom", "failed", "boom"},
  };
  for (const auto& [line, what, text] : cases) {
    const auto decision = decisionOf(line);
    ASSERT_TRUE(decision) << line;
    EXPECT_EQ(decision->what, what) << line;
    EXPECT_TRUE(has(decision->text, text)) << line << " -> " << decision->text;
  }
  for (const char* noise : {"checking showing criteria ", "execute called."}) {
    EXPECT_FALSE(decisionOf(noise)) << noise;
  }
  EXPECT_EQ(stripLogPrefix("tavrino_log : x"), "x");
  EXPECT_TRUE(isNotableStep("push click redirection triggered"));
  EXPECT_FALSE(isNotableStep("execute called."));
}

TEST(SimRunFiles, OutputFolderIsEmptiedOnlyWhenTheSimulatorMadeIt) {
  testing::TempDir dir;
  const auto folder = dir.path() / "out";
  std::string error;
  ASSERT_TRUE(prepareOutputFolder(folder, &error)) << error;
  std::ofstream(folder / "old.html") << "x";
  std::filesystem::create_directories(folder / "data" / "deep");
  ASSERT_TRUE(prepareOutputFolder(folder, &error)) << error;
  EXPECT_FALSE(std::filesystem::exists(folder / "old.html"));
  EXPECT_FALSE(std::filesystem::exists(folder / "data"));

  const auto foreign = dir.path() / "mine";
  std::filesystem::create_directories(foreign);
  std::ofstream(foreign / "thesis.txt") << "precious";
  EXPECT_FALSE(prepareOutputFolder(foreign, &error));
  EXPECT_TRUE(has(error, "did not write")) << error;
  EXPECT_TRUE(std::filesystem::exists(foreign / "thesis.txt"));
  std::ofstream(dir.path() / "file") << "x";
  EXPECT_FALSE(prepareOutputFolder(dir.path() / "file", &error));
}

// A child's streams and exit code are proven by the simulator's runs; here a
// missing program, or one that hangs, is reported, not waited for, while the
// main loop keeps turning.
TEST(SimExtensionProcess, AMissingOrHangingChildIsReportedNotWaitedFor) {
  EXPECT_FALSE(runChild({"/nonexistent/extension"}, "", 5s, [] {}).started);
  int pumped = 0;
  const ChildOutcome hanging = runChild({"/bin/sleep", "60"}, "", 1s, [&] {
    ++pumped;
    std::this_thread::sleep_for(10ms);
  });
  EXPECT_EQ(std::tuple(hanging.started, hanging.timedOut, hanging.exitCode, pumped > 0),
            std::tuple(true, true, -1, true));
}

}  // namespace
}  // namespace tavrino::sim
