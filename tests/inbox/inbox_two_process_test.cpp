// Processes sharing the SDK store and one inbox suite: two writers at once
// lose and duplicate nothing and honour the limit; a writer killed at random
// moments leaves every store intact with every write it had finished.
//
// Scale (scripts/stress sets these; the defaults suit every CI run):
//   TAVRINO_STRESS_MESSAGES  messages per writer (500)
//   TAVRINO_STRESS_REPEATS   repetitions of each two-writer test (1)
//   TAVRINO_STRESS_KILLS     kill trials (30)

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <vector>

#include "inbox/inbox_test.hpp"

extern char** environ;

namespace tavrino {
namespace {

using testing::kGroup;

long scale(const char* name, long fallback) {
  const char* value = std::getenv(name);
  return value && std::atol(value) > 0 ? std::atol(value) : fallback;
}

pid_t spawn(std::vector<std::string> args, int stdoutFd) {
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
  pid_t pid = 0;
  EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

bool exitedCleanly(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Returns SQLite's integrity check of the database file at path: "ok" when
// sound.
std::string integrityCheck(const std::filesystem::path& path) {
  sqlite3* db = nullptr;
  std::string result = "cannot open";
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(db, 5000);
    sqlite3_stmt* statement = nullptr;
    result = "cannot check";
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) == SQLITE_OK) {
      result.clear();
      while (sqlite3_step(statement) == SQLITE_ROW) {
        result += reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
      }
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return result;
}

class InboxTwoProcessTest : public testing::InboxTest {
 protected:
  // Two writers store count messages each at once into store: "a<i>"
  // expiring at 2i and "b<i>" at 2i + 1, each in rising order. Returns how
  // many stores evicted.
  long runTwoWriters(const std::string& store, long count) {
    long evicting = 0;
    std::vector<std::pair<pid_t, std::filesystem::path>> writers;
    for (const char* prefix : {"a", "b"}) {
      const auto output = dataDirectory() / (store + prefix + ".out");
      const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      writers.emplace_back(spawn({TAVRINO_INBOX_WRITER_PATH, dataDirectory().string(), store,
                                  prefix, std::to_string(count), prefix[0] == 'a' ? "0" : "1", "2"},
                                 fd),
                           output);
      close(fd);
    }
    for (auto& [pid, output] : writers) {
      EXPECT_TRUE(exitedCleanly(pid));
      long stores = -1;
      std::ifstream(output) >> stores;
      evicting += stores;
    }
    return evicting;
  }

  static std::vector<std::string> expectedIds(long from, long to) {
    std::vector<std::string> expected;
    for (long i = from; i < to; ++i) {
      expected.push_back("a" + std::to_string(i));
      expected.push_back("b" + std::to_string(i));
    }
    return sorted(expected);
  }

  const long messages = scale("TAVRINO_STRESS_MESSAGES", 500);
  const long repeats = scale("TAVRINO_STRESS_REPEATS", 1);
};

TEST_F(InboxTwoProcessTest, NoMessageIsLostOrDuplicatedWhenTwoProcessesStoreAtOnce) {
  Util::setCookieToQIVDefaults("_inbox_history_size", std::to_string(3 * messages));
  for (long repeat = 0; repeat < repeats; ++repeat) {
    QivInbox shared;
    shared.setStoreName("group.free" + std::to_string(repeat));
    shared.getMessageCount();  // this process's cache joins before the writers
    EXPECT_EQ(runTwoWriters(shared.messages_store_name, messages), 0);
    EXPECT_EQ(shared.getMessageCount(), 2 * messages);
    EXPECT_EQ(sorted(ids(shared.getAllMessages())), expectedIds(0, messages)) << repeat;
    EXPECT_EQ(shared.getUnreadMessageCount(), 2 * messages);
  }
}

TEST_F(InboxTwoProcessTest, FullInboxKeepsTheMessagesThatExpireLast) {
  // Whatever the interleaving, a message among the 100 that expire last is
  // never the earliest of a full inbox while either writer still has more to
  // store, so exactly those survive. Each store after the first 100 evicts
  // exactly one: had both processes counted a full inbox and evicted the
  // same message, one of them would have evicted none.
  Util::setCookieToQIVDefaults("_inbox_history_size", "100");
  for (long repeat = 0; repeat < repeats; ++repeat) {
    QivInbox shared;
    shared.setStoreName("group.full" + std::to_string(repeat));
    shared.getMessageCount();
    EXPECT_EQ(runTwoWriters(shared.messages_store_name, messages), 2 * messages - 100);
    EXPECT_EQ(sorted(ids(shared.getAllMessages())), expectedIds(messages - 50, messages)) << repeat;
  }
}

TEST_F(InboxTwoProcessTest, KilledWriterLeavesSoundStoresWithEveryFinishedWrite) {
  Util::setCookieToQIVDefaults("_inbox_history_size", "1000000");
  const long trials = scale("TAVRINO_STRESS_KILLS", 30);
  std::mt19937 random(static_cast<unsigned>(scale("TAVRINO_STRESS_SEED", 14)));
  long finishedWrites = 0;
  for (long trial = 0; trial < trials; ++trial) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    const std::string prefix = "k" + std::to_string(trial);
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = spawn(
        {TAVRINO_INBOX_CRASH_WRITER_PATH, dataDirectory().string(), kGroup, prefix}, pipeFds[1]);
    close(pipeFds[1]);

    // Kill at a random moment: one trial in four counts from the start (so
    // some kills fall while the stores open), the others from the first
    // finished write, however long the start takes on a busy machine.
    using Clock = std::chrono::steady_clock;
    const bool fromStart = random() % 4 == 0;
    const auto delay = std::chrono::microseconds(random() % (fromStart ? 80'000 : 40'000));
    const Clock::time_point started = Clock::now();
    std::optional<Clock::time_point> killAt;
    if (fromStart) killAt = started + delay;
    std::string reports;
    char buffer[4096];
    bool killed = false;
    for (;;) {
      if (!killAt && !reports.empty()) killAt = Clock::now() + delay;
      if (!killAt && Clock::now() - started > std::chrono::seconds(30)) killAt = Clock::now();
      int timeout = 5000;
      if (killAt && !killed) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(*killAt - Clock::now());
        if (left.count() <= 0) {
          kill(child, SIGKILL);
          killed = true;
        } else {
          timeout = static_cast<int>(left.count());
        }
      }
      pollfd readable{pipeFds[0], POLLIN, 0};
      if (poll(&readable, 1, timeout) <= 0) continue;
      const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
      if (got > 0) reports.append(buffer, static_cast<std::size_t>(got));
      // The end of the pipe: the child is gone (if not killed, the checks
      // below tell).
      if (got <= 0) break;
    }
    close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;

    for (const auto& file : std::filesystem::directory_iterator(dataDirectory())) {
      if (file.path().extension() == ".sqlite") {
        ASSERT_EQ(integrityCheck(file.path()), "ok") << file.path();
      }
    }
    restartPlatform();  // every store reopens
    std::set<long> stored, read, deleted;
    std::istringstream lines(reports);
    char what = 0;
    long i = 0;
    while (lines >> what >> i) {
      ++finishedWrites;
      const std::string id = prefix + "_" + std::to_string(i);
      switch (what) {
        case 's':
          EXPECT_EQ(Util::readDefault(id), "v" + std::to_string(i)) << id;
          break;
        case 'm':
          stored.insert(i);
          break;
        case 'r':
          read.insert(i);
          break;
        case 'd':
          deleted.insert(i);
          break;
      }
    }
    // Messages 5k + 2 are deleted two writes after they are stored: only a
    // reported delete says where they must be.
    for (long m : stored) {
      if (m % 5 == 2) continue;
      const std::string id = prefix + "_" + std::to_string(m);
      ASSERT_TRUE(inbox.hasMessage(id)) << id;
      if (read.contains(m)) {
        EXPECT_EQ(inbox.getMessage(id).status, "1") << id;
      }
    }
    for (long m : deleted) EXPECT_FALSE(inbox.hasMessage(prefix + "_" + std::to_string(m))) << m;
    EXPECT_EQ(inbox.getMessageCount(), static_cast<std::int64_t>(inbox.getAllMessages().size()));
  }
  RecordProperty("finished_writes", std::to_string(finishedWrites));
  EXPECT_GT(finishedWrites, trials);  // most kills fell among writes
}

}  // namespace
}  // namespace tavrino
