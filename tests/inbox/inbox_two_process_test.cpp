// Processes sharing the SDK store and one inbox suite: two writers at once
// lose and duplicate nothing and honour the limit; a writer killed at random
// moments leaves every store intact with every write it had finished.
//
// Scale (scripts/stress sets these; the defaults suit every CI run):
//   TAVRINO_STRESS_MESSAGES  messages per writer (500)
//   TAVRINO_STRESS_REPEATS   repetitions of each two-writer run (1)
//   TAVRINO_STRESS_KILLS     kill trials (30)

#include <signal.h>
#include <sqlite3.h>

#include <cstdlib>
#include <random>
#include <set>
#include <sstream>

#include "desktop_session/helper_process.hpp"
#include "inbox/inbox_test.hpp"

namespace tavrino {
namespace {

using namespace std::chrono_literals;
using namespace testing;

long scale(const char* name, long fallback) {
  const char* value = std::getenv(name);
  return value && std::atol(value) > 0 ? std::atol(value) : fallback;
}

// SQLite's integrity check of the database file at path: "ok" when sound.
std::string integrityCheck(const std::filesystem::path& path) {
  sqlite3* db = nullptr;
  std::string result = "cannot check: ";
  const auto collect = [](void* out, int, char** values, char**) {
    *static_cast<std::string*>(out) = values[0] ? values[0] : "";
    return 0;
  };
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(db, 5000);
    sqlite3_exec(db, "PRAGMA integrity_check", collect, &result, nullptr);
  }
  sqlite3_close(db);
  return result;
}

using InboxTwoProcessTest = InboxTest;

TEST_F(InboxTwoProcessTest,
       TwoProcessesStoringAtOnceLoseAndDuplicateNothingAndKeepTheLastToExpire) {
  // Two writers store n messages each at once: "a<i>" expiring at 2i and
  // "b<i>" at 2i + 1, each in rising order. In a full inbox, a message among
  // the 100 that expire last is never the earliest while either writer still
  // has more to store, so exactly those survive; each store after the first
  // 100 evicts exactly one (had both processes evicted the same message, one
  // of them would have evicted none).
  const long n = scale("TAVRINO_STRESS_MESSAGES", 500);
  const struct {
    long limit, evicted, survivorsFrom;
  } cases[] = {{3 * n, 0, 0}, {100, 2 * n - 100, n - 50}};
  for (long repeat = 0; repeat < scale("TAVRINO_STRESS_REPEATS", 1); ++repeat) {
    for (const auto& c : cases) {
      SCOPED_TRACE("limit " + std::to_string(c.limit) + ", repeat " + std::to_string(repeat));
      Util::setCookieToQIVDefaults("_inbox_history_size", std::to_string(c.limit));
      QivInbox shared;
      shared.setStoreName("group." + std::to_string(c.limit) + "_" + std::to_string(repeat));
      shared.getMessageCount();  // this process's cache joins before the writers
      const auto writer = [&](const char* prefix, const char* firstExpiry) {
        return HelperProcess(TAVRINO_INBOX_WRITER_PATH,
                             {dataDirectory().string(), shared.messages_store_name, prefix,
                              std::to_string(n), firstExpiry, "2"});
      };
      HelperProcess a = writer("a", "0"), b = writer("b", "1");
      EXPECT_EQ(a.finish(120s), 0);
      EXPECT_EQ(b.finish(120s), 0);
      EXPECT_EQ(std::atol(a.output().c_str()) + std::atol(b.output().c_str()), c.evicted);
      Ids expected;
      for (long i = c.survivorsFrom; i < n; ++i) {
        for (const char* prefix : {"a", "b"}) expected.push_back(prefix + std::to_string(i));
      }
      EXPECT_EQ(sorted(ids(shared.getAllMessages())), sorted(expected));
      EXPECT_EQ(std::pair(shared.getMessageCount(), shared.getUnreadMessageCount()),
                std::pair(std::ssize(expected), std::ssize(expected)));
    }
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
    HelperProcess child(TAVRINO_INBOX_CRASH_WRITER_PATH,
                        {dataDirectory().string(), kGroup, prefix});

    // Kill at a random moment: one trial in four counts from the start (so
    // some kills fall while the stores open), the others from the first
    // finished write, however long the start takes on a busy machine.
    using Clock = std::chrono::steady_clock;
    const bool fromStart = random() % 4 == 0;
    const auto delay = std::chrono::microseconds(random() % (fromStart ? 80'000 : 40'000));
    std::optional<Clock::time_point> killAt;
    if (fromStart) killAt = Clock::now() + delay;
    std::string reports;
    while (!killAt || Clock::now() < *killAt) {
      const auto left = killAt
                            ? std::chrono::ceil<std::chrono::milliseconds>(*killAt - Clock::now())
                            : std::chrono::milliseconds(30s);
      if (auto line = child.readLine(std::max(left, 0ms))) {
        reports += *line + "\n";
        if (!killAt) killAt = Clock::now() + delay;
      } else if (!killAt) {
        killAt = Clock::now();  // no write in 30 s, or the output ended: the checks tell
      }
    }
    child.signal(SIGKILL);
    ASSERT_EQ(child.finish(30s), -1) << "the writer ended by itself";
    reports += child.output();  // written before the kill, not yet read

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
      if (what == 's') {
        EXPECT_EQ(Util::readDefault(id), "v" + std::to_string(i)) << id;
      } else {
        (what == 'm' ? stored : what == 'r' ? read : deleted).insert(i);
      }
    }
    // Messages 5k + 2 are deleted two writes after they are stored: only a
    // reported delete says where they must be.
    for (long m : stored) {
      const std::string id = prefix + "_" + std::to_string(m);
      if (m % 5 == 2) continue;
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
