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
#include "sim/picture.hpp"
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
      {"ui_sb setParameters called.", "shown", "passed its show criteria"},
      {"checking showing criteria .per visit show count.return.", "heldBack", "in this visit"},
      {"show once per pageview. group name : g1.return.", "heldBack", "group \"g1\""},
      {"AsyncTask doinbackground called. hasinboxmessage : skip", "filed", "not filed (skip)"},
      {"create banner called.", "shown", "lays the campaign out"},
      {"create banner called. Unknown banner function : zz", "refused", "unknown kind zz"},
      {"create banner ratio is zero or infinite.return.", "refused", "ratio is zero"},
      {"calledEvent execcount did not match", "dropped", "newer page view"},
      {"request failed : timed out", "failed", "timed out"},
      {"shake failed : boom", "failed", "boom"},
  };
  for (const auto& [line, what, text] : cases) {
    const auto decision = decisionOf(line);
    ASSERT_TRUE(decision) << line;
    EXPECT_EQ(decision->what, what) << line;
    EXPECT_TRUE(has(decision->text, text)) << line << " -> " << decision->text;
  }
  for (const char* noise : {"checking showing criteria ", "get cookie called", "execute called."}) {
    EXPECT_FALSE(decisionOf(noise)) << noise;
  }
  EXPECT_EQ(stripLogPrefix("tavrino_log : x"), "x");
  EXPECT_TRUE(isNotableStep("push click redirection triggered"));
  EXPECT_FALSE(isNotableStep("execute called."));
}

TEST(SimRunFiles, EscapingEncodingSlugsAndAStoreDiffWithoutPageViewBookkeeping) {
  EXPECT_EQ(escapeHtml("<a href=\"x\">'&'</a>"),
            "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
  EXPECT_EQ((std::vector<std::string>{base64({}), base64({'f'}), base64({'f', 'o'}),
                                      base64({'f', 'o', 'o', 0xff})}),
            (std::vector<std::string>{"", "Zg==", "Zm8=", "Zm9v/w=="}));
  const StoreSnapshot before = {{"vc", "1"}, {"segment", "a 1"}, {"gone", "x"}, {"same", "s"}};
  const StoreSnapshot after = {{"vc", "2"}, {"segment", "b 1"}, {"new", ""}, {"same", "s"}};
  using Change = std::tuple<std::string, std::optional<std::string>, std::optional<std::string>>;
  std::vector<Change> changes;
  for (const auto& c : diffStore(before, after)) changes.emplace_back(c.key, c.before, c.after);
  // Added though its value is empty; the page views' bookkeeping left out.
  EXPECT_EQ(changes, (std::vector<Change>{{"new", std::nullopt, ""},
                                          {"segment", "a 1", "b 1"},
                                          {"gone", "x", std::nullopt}}));
  EXPECT_EQ(slug("***"), "step");
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

TEST(SimExtensionProcess, CollectsStreamsAndExitCodeAndEndsAHangWhileTheLoopTurns) {
  int pumped = 0;
  const ChildOutcome child =
      runChild({"/bin/sh", "-c", "sleep 0.2; echo \"tmp=$TMPDIR\"; echo oops >&2; exit 3"},
               "/tmp/sim-run/attachments", 30s, [&] {
                 ++pumped;
                 std::this_thread::sleep_for(5ms);
               });
  EXPECT_EQ(std::tuple(child.started, child.timedOut, child.exitCode), std::tuple(true, false, 3));
  EXPECT_TRUE(has(child.output, "tmp=/tmp/sim-run/attachments\n") && has(child.output, "oops"))
      << child.output;
  EXPECT_GT(pumped, 0) << "the main loop keeps turning while the child runs";

  // A missing program, or one that hangs, is reported, not waited for.
  EXPECT_FALSE(runChild({"/nonexistent/extension"}, "", 5s, [] {}).started);
  const ChildOutcome hanging =
      runChild({"/bin/sleep", "60"}, "", 1s, [] { std::this_thread::sleep_for(10ms); });
  EXPECT_EQ(std::tuple(hanging.started, hanging.timedOut, hanging.exitCode),
            std::tuple(true, true, -1));
}

}  // namespace
}  // namespace tavrino::sim
