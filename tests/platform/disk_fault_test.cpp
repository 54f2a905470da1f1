// The store when the disk fails it: a full data directory, one the process
// may not write, and a store file replaced by garbage. The SDK logs, keeps
// serving what it has, and never reports a write as done that was not.
//
// The full and read-only cases run in a forked child: the file-size limit
// and the unprivileged user must not reach the test runner itself.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>

#include "desktop_session/temp_dir.hpp"
#include "platform/sqlite_user_defaults.hpp"
#include "platform/store_test_support.hpp"
#include "tavrino/platform/linux.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::platform {
namespace {

using testing::CapturingLog;
using testing::suiteFile;
using testing::TempDir;

constexpr std::string_view kSuite = "qiv_default";

// Checks inside a forked child, where gtest's assertions cannot report:
// each failure is printed and counted into the exit code.
struct ChildChecks {
  int failures = 0;
  void expect(bool ok, const char* what) {
    if (!ok && ++failures) std::fprintf(stderr, "child check failed: %s\n", what);
  }
};

// The Linux platform over a directory, its log (the store's included)
// captured.
class LoggedPlatform final : public PlatformWrapper {
 public:
  LoggedPlatform(const std::filesystem::path& directory, CapturingLog& log)
      : PlatformWrapper(makeLinuxPlatform({.dataDirectory = directory, .clock = nullptr})),
        log_(log),
        defaults_(makeSqliteUserDefaults(directory, log)) {}
  Log& log() override { return log_; }
  UserDefaults& userDefaults() override { return *defaults_; }

 private:
  CapturingLog& log_;
  std::unique_ptr<UserDefaults> defaults_;
};

// Runs body in a forked child; returns its failed checks (-signal if killed).
int inChild(const std::function<void(ChildChecks&)>& body) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    ChildChecks check;
    try {
      body(check);
    } catch (...) {
      check.expect(false, "child threw");
    }
    std::fflush(nullptr);
    _exit(std::min(check.failures, 100));
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// A suite file holding "keep" = "old", as the child finds it.
std::filesystem::path seededSuite(const std::filesystem::path& directory) {
  CapturingLog log;
  makeSqliteUserDefaults(directory, log)->suite(kSuite)->set("keep", "old");
  return suiteFile(directory, kSuite);
}

// SQLite's verdict on the file ("ok" when sound).
std::string integrityOf(const std::filesystem::path& file) {
  return testing::RawSuiteFile(file).text("PRAGMA integrity_check");
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

  const int failed = inChild([&](ChildChecks& check) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit fileSize{limit, limit};
    check.expect(setrlimit(RLIMIT_FSIZE, &fileSize) == 0, "setrlimit");
    CapturingLog log;
    auto suite = makeSqliteUserDefaults(dir.path(), log)->suite(kSuite);
    check.expect(suite->isPersistent(), "opened on disk");
    suite->set("small", 1);
    check.expect(suite->object("small") == Value(1), "small write fits");

    suite->set("big", big);
    check.expect(!suite->object("big"), "failed set not served");
    check.expect(log.contains("write failed") || log.contains("commit failed"), "set logged");
    const bool committed = suite->transaction([&] {
      suite->set("in transaction", 2);
      suite->set("big", big);
    });
    check.expect(!committed, "transaction reports the failure");
    check.expect(!suite->object("in transaction"), "rolled back as a whole");
    check.expect(suite->string("keep") == "old", "reads still served");
    suite->set("small again", 3);
    check.expect(suite->object("small again") == Value(3), "small writes still work");

    // The SDK's cookie writes on the same disk (the inbox's: InboxFailureTest).
    CapturingLog sdkLog;
    install(std::make_unique<LoggedPlatform>(dir.path(), sdkLog));
    Util::setCookieToQIVDefaults("sdk big", big);
    check.expect(Util::readDefault("sdk big").empty(), "SDK cookie write not served");
    check.expect(Util::readDefault("keep") == "old", "SDK reads still served");
    check.expect(sdkLog.contains("write failed") || sdkLog.contains("commit failed"),
                 "SDK write failures logged");
    install(nullptr);
  });
  EXPECT_EQ(failed, 0);

  CapturingLog log;
  auto suite = makeSqliteUserDefaults(dir.path(), log)->suite(kSuite);
  EXPECT_EQ(suite->dictionaryRepresentation(),
            (std::vector<std::pair<std::string, Value>>{
                {"keep", "old"}, {"small", 1}, {"small again", 3}}));
  EXPECT_EQ(integrityOf(file), "ok");
  EXPECT_TRUE(log.lines().empty());
}

// Root writes anywhere, so the child gives up root for a user that owns
// nothing in the directory.
TEST(DiskFaults, ReadOnlyDirectoryKeepsTheSdkWorkingInMemory) {
  TempDir dir;
  const auto file = seededSuite(dir.path());
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(chmod(file.c_str(), 0644), 0);
  if (geteuid() != 0) GTEST_SKIP() << "needs root to switch to a user without rights";

  const int failed = inChild([&](ChildChecks& check) {
    constexpr uid_t kNobody = 65534;
    if (setgid(kNobody) != 0 || setuid(kNobody) != 0) return check.expect(false, "setuid");
    check.expect(access(dir.path().c_str(), W_OK) != 0, "directory not writable");
    CapturingLog log;
    auto defaults = makeSqliteUserDefaults(dir.path(), log);
    auto suite = defaults->suite(kSuite);
    check.expect(!suite->isPersistent(), "refused");
    check.expect(log.contains("cannot open suite \"qiv_default\""), "refusal logged");
    suite->set("k", "v");
    check.expect(suite->string("k") == "v", "served from memory");
    check.expect(suite->transaction([&] { suite->set("k2", 2); }), "memory transaction");
    auto other = defaults->suite("another");
    other->set("x", 1);
    check.expect(other->object("x") == Value(1), "other suites too");
  });
  EXPECT_EQ(failed, 0);

  CapturingLog log;
  auto suite = makeSqliteUserDefaults(dir.path(), log)->suite(kSuite);
  EXPECT_EQ(suite->dictionaryRepresentation(),
            (std::vector<std::pair<std::string, Value>>{{"keep", "old"}}));
  EXPECT_EQ(integrityOf(file), "ok");
  EXPECT_FALSE(std::filesystem::exists(suiteFile(dir.path(), "another")));
}

// A file with a valid database header whose pages are garbage: the platform
// refuses it or fails every access; either way nothing is reported stored
// that is not, and the file is not made worse.
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

  for (int launch = 0; launch < 2; ++launch) {
    CapturingLog log;
    install(std::make_unique<LoggedPlatform>(dir.path(), log));
    auto suite = Util::qivDefaults();
    Util::setCookieToQIVDefaults("new", "value");
    if (suite->isPersistent()) {
      // Opened, but every access fails: the write must not be served.
      EXPECT_FALSE(suite->transaction([&] { suite->set("t", 1); }));
      EXPECT_FALSE(suite->object("t"));
    } else {
      // Refused: the SDK works on in memory.
      EXPECT_EQ(Util::readDefault("new"), "value");
      EXPECT_TRUE(suite->transaction([&] { suite->set("t", 1); }));
    }
    EXPECT_FALSE(log.lines().empty());
    suite.reset();
    install(nullptr);
  }
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
  EXPECT_FALSE(suite->object("lost"));
  EXPECT_FALSE(suite->transaction([&] { suite->set("lost too", 2); }));
  EXPECT_FALSE(suite->object("lost too"));
  EXPECT_EQ(suite->string("keep"), "old");
  EXPECT_TRUE(log.contains("replaced"));

  std::filesystem::remove(file);
  suite->set("gone", 3);
  EXPECT_FALSE(suite->object("gone"));
  EXPECT_TRUE(log.contains("gone"));
  EXPECT_EQ(suite->dictionaryRepresentation(),
            (std::vector<std::pair<std::string, Value>>{{"keep", "old"}}));
}

}  // namespace
}  // namespace tavrino::platform
