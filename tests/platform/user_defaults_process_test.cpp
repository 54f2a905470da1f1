// Two processes on one suite: neither loses the other's writes, nor waits
// for them to read. (Seeing them: suite_change_log_test.)

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "desktop_session/helper_process.hpp"
#include "desktop_session/temp_dir.hpp"
#include "platform/sqlite_user_defaults.hpp"
#include "platform/store_test_support.hpp"

namespace tavrino::platform {
namespace {

using testing::CapturingLog;
using testing::HelperProcess;
using testing::runStoreWriters;
using testing::TempDir;

constexpr std::string_view kSuite = "qiv_default";

// All four create the suite's file at the same moment, then write; the
// increments are transactions of a read and a write.
TEST(UserDefaultsAcrossProcesses, ConcurrentWritersLoseNothingAndTransactionsAreAtomic) {
  TempDir dir;
  EXPECT_EQ(runStoreWriters(dir.path(), kSuite,
                            {{"keys", "a", "500"},
                             {"keys", "b", "500"},
                             {"increment", "counter", "300"},
                             {"increment", "counter", "300"}}),
            (std::vector<int>{0, 0, 0, 0}));

  CapturingLog log;
  auto suite = makeSqliteUserDefaults(dir.path(), log)->suite(kSuite);
  ASSERT_EQ(suite->dictionaryRepresentation().size(), 1001u);
  for (int i = 0; i < 500; ++i) {
    EXPECT_EQ(suite->object("a" + std::to_string(i)), i);
    EXPECT_EQ(suite->object("b" + std::to_string(i)), i);
  }
  EXPECT_EQ(suite->object("counter"), 600);
  // A transaction here starts from the other processes' last state too.
  suite->transaction([&] { suite->set("counter", suite->object("counter")->get<int>() + 1); });
  EXPECT_EQ(makeSqliteUserDefaults(dir.path(), log)->suite(kSuite)->object("counter"), 601);
}

TEST(UserDefaultsAcrossProcesses, ReadsNeverWaitForAWriterWaitingForAnotherProcess) {
  using Clock = std::chrono::steady_clock;
  TempDir dir;
  CapturingLog log;
  auto suite = makeSqliteUserDefaults(dir.path(), log)->suite(kSuite);
  suite->set("k", "old");

  // The other process takes the write lock and keeps it for two seconds;
  // a writer here waits for it, holding whatever this process locks.
  HelperProcess other(TAVRINO_STORE_WRITER_PATH,
                      {dir.path().string(), std::string(kSuite), "hold", "k", "theirs", "2000"});
  ASSERT_EQ(other.readLine(std::chrono::seconds(10)), "holding");
  std::atomic<bool> written{false};
  std::thread writer([&] {
    suite->set("k", "mine");
    written = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));

  Clock::duration worst{};
  int oldValues = 0;
  for (int reads = 0; reads < 1000 && !written; ++reads) {
    const auto start = Clock::now();
    oldValues += suite->string("k") == "old" && suite->dictionaryRepresentation().size() == 1;
    worst = std::max(worst, Clock::now() - start);
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  EXPECT_FALSE(written.load());  // every read happened while the write was waiting
  writer.join();
  EXPECT_EQ(other.wait(), 0);
  EXPECT_EQ(oldValues, 1000);
  // Generous: a read that waited would take about two seconds.
  EXPECT_LT(worst, std::chrono::milliseconds(100));
  EXPECT_EQ(suite->string("k"), "mine");  // landed after the other process's write
  EXPECT_TRUE(log.lines().empty());
}

}  // namespace
}  // namespace tavrino::platform
