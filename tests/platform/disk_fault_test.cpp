// The store when the disk fails it: a full data directory, one the process
// may not write, and a store file replaced by garbage. The SDK logs, keeps
// serving what it has, and never reports a write as done that was not.
//
// The full and read-only cases run in a forked child: the file-size limit
// and the unprivileged user must not reach the test runner itself.

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "platform/store_test_support.hpp"

namespace tavrino::platform {
namespace {

using namespace std::string_literals;
using testing::CapturingLog;
using testing::suiteFile;
using testing::TempDir;

constexpr std::string_view kSuite = "qiv_default";

// Runs body in a forked child, whose failed checks gtest prints there; the
// test fails if any did (or the child died).
void inChild(const std::function<void()>& body) {
  std::fflush(nullptr);
  if (const pid_t pid = fork(); pid != 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "in the child";
    return;
  }
  try {
    body();
  } catch (...) {
    ADD_FAILURE() << "child threw";
  }
  std::fflush(nullptr);
  _exit(::testing::Test::HasFailure() ? 1 : 0);
}

// A suite file holding "keep" = "old", as the child finds it.
std::filesystem::path seededSuite(const std::filesystem::path& directory) {
  CapturingLog log;
  makeSqliteUserDefaults(directory, log)->suite(kSuite)->set("keep", "old");
  return suiteFile(directory, kSuite);
}

// What the next launch finds: entries, SQLite's verdict on the file, its log.
void expectNextLaunchFinds(const std::filesystem::path& directory,
                           const testing::Entries& entries) {
  CapturingLog log;
  EXPECT_EQ(makeSqliteUserDefaults(directory, log)->suite(kSuite)->dictionaryRepresentation(),
            entries);
  EXPECT_EQ(testing::RawSuiteFile(suiteFile(directory, kSuite)).text("PRAGMA integrity_check"),
            "ok");
  EXPECT_TRUE(log.lines().empty());
}

std::string contentsOf(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(DiskFaults, FullDiskFailsTheWriteAndKeepsEverythingElse) {
  TempDir dir;
  const auto file = seededSuite(dir.path());
  // Room for the log's header and a few small frames, none for a big value.
  const rlim_t limit = std::filesystem::file_size(file) + 64 * 1024;
  const std::string big(1 << 20, 'x');

  inChild([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit fileSize{limit, limit};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &fileSize), 0);
    CapturingLog log;
    auto suite = makeSqliteUserDefaults(dir.path(), log)->suite(kSuite);
    suite->set("small", 1);
    suite->set("big", big);
    EXPECT_TRUE(log.contains("write failed") || log.contains("commit failed"));
    EXPECT_FALSE(suite->transaction([&] {
      suite->set("in transaction", 2);
      suite->set("big", big);
    }));
    suite->set("small again", 3);
    // Small writes served, failed ones not, the transaction rolled back whole.
    EXPECT_EQ(suite->dictionaryRepresentation(),
              (testing::Entries{{"keep", "old"}, {"small", 1}, {"small again", 3}}));
  });
  expectNextLaunchFinds(dir.path(), {{"keep", "old"}, {"small", 1}, {"small again", 3}});
}

// Root writes anywhere, so the child gives up root for a user that owns
// nothing in the directory.
TEST(DiskFaults, ReadOnlyDirectoryKeepsTheSdkWorkingInMemory) {
  TempDir dir;
  const auto file = seededSuite(dir.path());
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(file.c_str(), 0644), 0);
  if (geteuid() != 0) GTEST_SKIP() << "needs root to switch to a user without rights";

  inChild([&] {
    constexpr uid_t kNobody = 65534;
    ASSERT_TRUE(setgid(kNobody) == 0 && setuid(kNobody) == 0);
    ASSERT_NE(access(dir.path().c_str(), W_OK), 0);
    CapturingLog log;
    auto suite = makeSqliteUserDefaults(dir.path(), log)->suite(kSuite);
    EXPECT_FALSE(suite->isPersistent());
    EXPECT_TRUE(log.contains("cannot open suite \"qiv_default\""));
    suite->set("k", "v");
    EXPECT_TRUE(suite->transaction([&] { suite->set("k2", 2); }));
    EXPECT_EQ(std::pair(suite->dictionaryRepresentation(), suite->object("k2")),
              std::pair(testing::Entries{{"k", "v"}, {"k2", 2}}, std::optional(Value(2))));
  });
  expectNextLaunchFinds(dir.path(), {{"keep", "old"}});
}

// A file with a valid database header whose pages are garbage is refused:
// the suite works on in memory, and the file is not made worse.
TEST(DiskFaults, StoreFileOfGarbageIsRefusedOrFailsItsWrites) {
  TempDir dir;
  const auto file = suiteFile(dir.path(), kSuite);
  {
    CapturingLog log;
    auto suite = makeSqliteUserDefaults(dir.path(), log)->suite(kSuite);
    suite->transaction([&] {
      for (int i = 0; i < 500; ++i) suite->set("k" + std::to_string(i), std::string(200, 'v'));
    });
  }
  std::string bytes = contentsOf(file);
  ASSERT_GT(bytes.size(), 8192u);
  for (std::size_t i = 100; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7919 >> 3);
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;

  CapturingLog log;
  auto suite = makeSqliteUserDefaults(dir.path(), log)->suite(kSuite);
  suite->set("new", "value");
  EXPECT_EQ(std::pair(suite->isPersistent(), suite->string("new")),
            std::pair(false, std::optional("value"s)));
  EXPECT_TRUE(log.contains("cannot open suite"));
  EXPECT_EQ(contentsOf(file), bytes);
}

// Replaced while open (a restore, a cleaner, a user): the open connection
// would write into the old file, which nobody reads again.
TEST(DiskFaults, StoreFileReplacedWhileOpenFailsWritesAndKeepsServingReads) {
  TempDir dir;
  const auto file = suiteFile(dir.path(), kSuite);
  CapturingLog log;
  auto suite = makeSqliteUserDefaults(dir.path(), log)->suite(kSuite);
  suite->set("keep", "old");
  const auto garbage = dir.path() / "garbage";
  std::ofstream(garbage, std::ios::binary) << std::string(4096, '\x5A');
  std::filesystem::rename(garbage, file);

  suite->set("lost", 1);
  EXPECT_FALSE(suite->transaction([&] { suite->set("lost too", 2); }));
  EXPECT_TRUE(log.contains("replaced"));
  std::filesystem::remove(file);
  suite->set("gone", 3);
  EXPECT_TRUE(log.contains("gone"));
  EXPECT_EQ(suite->dictionaryRepresentation(), (testing::Entries{{"keep", "old"}}));
}

}  // namespace
}  // namespace tavrino::platform
