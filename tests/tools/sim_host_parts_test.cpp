// The simulator's host side: the output folder of a run, and the child
// process it runs for a push (one that does not start or finish is reported).

#include <gtest/gtest.h>

#include <fstream>
#include <thread>
#include <tuple>

#include "desktop_session/temp_dir.hpp"
#include "sim/extension_process.hpp"
#include "sim/run_files.hpp"

namespace tavrino::sim {
namespace {

using namespace std::chrono_literals;

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(SimRunFiles, OutputFolderIsEmptiedOnlyWhenTheSimulatorMadeIt) {
  testing::TempDir dir;
  const auto folder = dir.path() / "out";
  std::string error;
  ASSERT_TRUE(prepareOutputFolder(folder, &error)) << error;
  std::ofstream(folder / "old.html") << "x";
  std::filesystem::create_directories(folder / "data" / "deep");
  ASSERT_TRUE(prepareOutputFolder(folder, &error)) << error;
  EXPECT_FALSE(std::filesystem::exists(folder / "old.html") ||
               std::filesystem::exists(folder / "data"));

  const auto foreign = dir.path() / "mine";
  std::filesystem::create_directories(foreign);
  std::ofstream(foreign / "thesis.txt") << "precious";
  EXPECT_FALSE(prepareOutputFolder(foreign, &error));
  EXPECT_TRUE(has(error, "did not write")) << error;
  EXPECT_TRUE(std::filesystem::exists(foreign / "thesis.txt"));
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
