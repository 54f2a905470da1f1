// Other connections and processes on one suite. A suite file gets a change
// log only once another connection is seen to write it; from then on that
// connection's commits are taken in key by key through the log, and exactly:
// writes, deletions and a clearing are seen, users are told which keys
// changed, and a log that was trimmed, dropped, never there or impossible to
// start makes the suite read everything instead. Neither side loses the
// other's writes, nor waits for them to read.

#include <atomic>
#include <thread>

#include "platform/store_test_support.hpp"
#include "platform/suite_database.hpp"
#include "tavrino/platform/suite_changes.hpp"

namespace tavrino::platform {
namespace {

using testing::RawSuiteFile;
using testing::runStoreWriter;
using Changes = std::map<std::string, std::optional<Value>>;

class SuiteChangeLogTest : public testing::SuiteTest {
 protected:
  // The keys under prefix the suite names as changed since count with their
  // values now (null: removed), or nothing when it cannot tell.
  static std::optional<Changes> changesSince(UserDefaultsSuite& suite, std::uint64_t count,
                                             std::string_view prefix = "") {
    Changes changes;
    const auto reached = dynamic_cast<SuiteChanges&>(suite).forEachChangeSince(
        count, prefix, [&](std::string_view key, const Value* value) {
          EXPECT_FALSE(changes.contains(std::string(key))) << "named twice: " << key;
          changes[std::string(key)] = value ? std::optional<Value>(*value) : std::nullopt;
        });
    if (!reached) return std::nullopt;
    EXPECT_EQ(*reached, suite.changeCount());
    return changes;
  }
  // The suite's entries as a fresh process reads them.
  testing::Entries onDisk() {
    return makeSqliteUserDefaults(dir_.path(), log_)->suite(kSuite)->dictionaryRepresentation();
  }
  bool hasLog() const {
    const std::string objects = RawSuiteFile(file()).text(
        "SELECT count(*) FROM sqlite_master WHERE name LIKE 'changes%' AND type != 'index'");
    EXPECT_TRUE(objects == "0" || objects == "5") << "a partial log: " << objects;
    return objects == "5";
  }
};

TEST_F(SuiteChangeLogTest, TheLogStartsWithAnotherProcessesWritesWhichAreThenSeenExactly) {
  auto suite = open();
  for (int i = 0; i < 20; ++i) suite->set("a" + std::to_string(i), i);
  suite->set("other", "mine");
  open()->set("next launch", true);
  suite = open();
  EXPECT_FALSE(hasLog()) << "written by one process only";

  // Taking in another process's writes is a read: it starts nothing...
  for (const char* value : {"x", "y", "theirs"}) {
    ASSERT_EQ(runStoreWriter(dir_.path(), kSuite, std::string("set a1 ") + value), 0);
    EXPECT_EQ(std::pair(suite->object("a1"), hasLog()),
              std::pair(std::optional(Value(value)), false));
    // Restarting the write-ahead log lets the next commit reuse its frame numbers.
    RawSuiteFile(file()).exec("PRAGMA wal_checkpoint(TRUNCATE)");
  }
  // ...the next own write does, and is logged itself.
  std::uint64_t start = suite->changeCount();
  suite->set("a2", "mine");
  EXPECT_EQ(std::pair(hasLog(), changesSince(*suite, start)),
            std::pair(true, std::optional(Changes{{"a2", Value("mine")}})));
  start = suite->changeCount();

  // a8 is rewritten twice: named once, with its last value.
  for (const char* command :
       {"keys b 30", "remove a5", "set a7 theirs", "remove never-there", "set a8 x", "set a8 y"}) {
    ASSERT_EQ(runStoreWriter(dir_.path(), kSuite, command), 0);
  }
  EXPECT_EQ(suite->dictionaryRepresentation(), onDisk());
  Changes expected{{"a5", std::nullopt}, {"a7", Value("theirs")}, {"a8", Value("y")}};
  for (int i = 0; i < 30; ++i) expected["b" + std::to_string(i)] = Value(i);
  EXPECT_EQ(changesSince(*suite, start), expected) << "not taken in by reading everything";
  // Only under the prefix asked for; nothing since now.
  EXPECT_EQ(changesSince(*suite, start, "a")->size(), 3u);
  EXPECT_EQ(changesSince(*suite, suite->changeCount()), Changes{});
  EXPECT_FALSE(changesSince(*suite, suite->changeCount() + 1));
  EXPECT_TRUE(log_.lines().empty());
}

// Another connection's commits, a rollback and a clearing among them, are
// named exactly; a trimmed or dropped log makes the suite read everything.
// The suite's own transactions roll back as a whole.
TEST_F(SuiteChangeLogTest, ClearingAndRollbacksAreSeenExactlyOrReadInFull) {
  auto suite = open();
  for (int i = 0; i < 10; ++i) suite->set("k" + std::to_string(i), i);
  RawSuiteFile raw(file());
  // Another connection writes, then the suite: the file has the log from then on.
  raw.insert("shared", true);
  suite->remove("shared");
  ASSERT_TRUE(hasLog());
  // Runs sql on the other connection; returns what the suite names as changed.
  const auto after = [&](const std::string& sql) {
    const std::uint64_t count = suite->changeCount();
    raw.exec(sql);
    return changesSince(*suite, count);
  };

  // A transaction that rolls back leaves its numbers to the next commit.
  raw.exec("BEGIN; DELETE FROM entries WHERE key = CAST('k1' AS BLOB); ROLLBACK");
  EXPECT_EQ(after("INSERT INTO entries VALUES(CAST('n' AS BLOB), x'636E6577')"),
            (Changes{{"n", Value("new")}}));
  // An update in place (no replacing insert) names the key too.
  EXPECT_EQ(after("UPDATE entries SET value = x'03' WHERE key = CAST('k2' AS BLOB)"),
            (Changes{{"k2", Value(3)}}));
  Changes cleared{{"n", std::nullopt}};
  for (int i = 0; i < 10; ++i) cleared["k" + std::to_string(i)] = std::nullopt;
  EXPECT_EQ(after("DELETE FROM entries"), cleared);

  // More changes in one go than the log keeps: the number this suite saw
  // last is trimmed away, and a reload cannot tell what changed.
  EXPECT_FALSE(after("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                     std::to_string(SuiteDatabase::kChangeLogLength + 600) +
                     ") INSERT OR REPLACE INTO entries(key, value) "
                     "SELECT CAST('t' || (i % 700) AS BLOB), x'01' FROM n"));
  EXPECT_EQ(suite->dictionaryRepresentation(), onDisk());
  // Once reloaded, the log serves again.
  EXPECT_EQ(after("INSERT OR REPLACE INTO entries VALUES(CAST('t3' AS BLOB), x'03')"),
            (Changes{{"t3", Value(3)}}));

  // Without the log every commit is still seen, and the next own write
  // starts it again.
  raw.exec(
      "DROP TRIGGER changes_insert; DROP TRIGGER changes_update; DROP TRIGGER changes_delete;"
      "DROP TRIGGER changes_trim; DROP TABLE changes");
  raw.insert("u", "u");
  EXPECT_EQ(std::pair(suite->object("u"), hasLog()), std::pair(std::optional(Value("u")), false));
  suite->set("v", "v");
  EXPECT_TRUE(hasLog());
  EXPECT_EQ(after("DELETE FROM entries WHERE key = CAST('u' AS BLOB)"),
            (Changes{{"u", std::nullopt}}));

  // A throw, even from a nested transaction, rolls back the whole; so does
  // SQLite ending the transaction on a refused key (as a full disk would),
  // and the writes after it must not commit on their own.
  EXPECT_FALSE(suite->transaction([&] {
    suite->set("v", "new");
    suite->transaction([&] { throw std::runtime_error("boom"); });
    suite->set("after", 1);
  }));
  raw.exec(
      "CREATE TRIGGER refuse BEFORE INSERT ON entries WHEN NEW.key = CAST('bad' AS BLOB) "
      "BEGIN SELECT RAISE(ROLLBACK, 'refused'); END");
  suite->set("bad", 1);
  EXPECT_FALSE(suite->transaction([&] {
    suite->set("v", "new");
    suite->set("bad", 2);
    suite->set("after", 3);  // must not commit on its own
  }));
  EXPECT_EQ(suite->object("v"), "v");
  EXPECT_EQ(suite->dictionaryRepresentation(), onDisk());
  EXPECT_TRUE(log_.contains("boom") && log_.contains("refused"));
}

// Starting the log fails here because its name is taken; the suite writes
// on without it and reads the other connection's commits in full.
TEST_F(SuiteChangeLogTest, AFileWhereTheLogCannotStartIsReadInFull) {
  auto suite = open();
  suite->set("k", 1);
  RawSuiteFile raw(file());
  raw.exec("CREATE INDEX changes ON entries(value)");
  for (int round = 0; round < 2; ++round) {
    raw.insert("theirs", round);
    const std::uint64_t count = suite->changeCount();
    EXPECT_TRUE(suite->transaction([&] { suite->set("mine", round); }));
    raw.insert("after", round);
    EXPECT_FALSE(changesSince(*suite, count)) << "read in full";
    EXPECT_EQ(suite->dictionaryRepresentation(), onDisk());
  }
  EXPECT_EQ(std::pair(hasLog(), log_.lines().size()), std::pair(false, std::size_t{1}));
  EXPECT_TRUE(log_.contains("cannot start a change log"));
}

TEST_F(SuiteChangeLogTest, AStoreOfTheEarlierLayoutOpensGainsTheLogAndStaysReadable) {
  std::filesystem::create_directories(dir_.path());
  RawSuiteFile(file(), true)
      .exec(  // the file as the previous version left it: the entries table alone
          "PRAGMA journal_mode=WAL; CREATE TABLE entries(key BLOB PRIMARY KEY NOT NULL, value "
          "BLOB NOT NULL) WITHOUT ROWID; INSERT INTO entries VALUES(CAST('old' AS BLOB), x'01')");
  auto suite = open();
  EXPECT_EQ(suite->object("old"), 1);
  // The previous version writes with the same statement as before, and
  // keeps the log once there.
  RawSuiteFile(file()).insert("older", 2);
  suite->set("new", "ours");
  const std::uint64_t count = suite->changeCount();
  RawSuiteFile(file()).insert("older", 3);
  EXPECT_EQ(changesSince(*suite, count), (Changes{{"older", Value(3)}}));
  // And reads the file as it always did.
  EXPECT_EQ(RawSuiteFile(file()).text("SELECT group_concat(CAST(key AS TEXT) || '=' || hex(value), "
                                      "' ') FROM (SELECT * FROM entries ORDER BY key)"),
            "new=646F757273 old=01 older=03");
}

// Another connection commits a rising counter all along. Right after each
// commit of its own the suite reads on without asking SQLite (it knows the
// header its commit left), yet a commit the other side finished before a read
// is seen by it. Then readers on two threads never see the counter go back,
// and every read after the last commit sees it, even while the other reader
// is refreshing.
TEST_F(SuiteChangeLogTest, ReadsRacingAnotherConnectionNeverMissACommitNorGoBack) {
  auto suite = open();
  suite->set("n", 0);
  std::atomic<int> finished{0}, misses{0}, reads{0};
  std::atomic<bool> stop{false}, done{false};
  std::thread other([&] {
    RawSuiteFile raw(file());
    for (int i = 1; !stop; ++i) {
      raw.insert("n", i);
      finished.store(i);
    }
  });
  const auto read = [&](bool byPrefix) {
    int now = -1;
    if (byPrefix)
      suite->forEachEntry("n", [&](auto, const Value& value) { now = value.get<int>(); });
    if (!byPrefix && !suite->string("n")) now = suite->object("n")->get<int>();  // no text
    return now;
  };
  for (int i = 0; i < 1500; ++i) {
    suite->set("mine", i);
    const int before = finished.load();
    misses += read(false) < before;
  }
  std::vector<std::thread> readers;
  for (bool byPrefix : {true, false}) {
    readers.emplace_back([&, byPrefix] {
      for (int seen = 0; !done; ++reads) {
        const int now = read(byPrefix);
        misses += now < seen;
        seen = std::max(seen, now);
      }
      misses += read(byPrefix) != finished;
    });
  }
  while (reads < 1000) std::this_thread::yield();
  stop = true;
  other.join();
  done = true;
  for (auto& reader : readers) reader.join();
  EXPECT_EQ(std::pair(misses.load(), suite->dictionaryRepresentation()), std::pair(0, onDisk()));
  EXPECT_TRUE(log_.lines().empty());
}

// All four create the suite's file at the same moment, then write; none
// loses another's writes. (Transactions across processes start from the
// others' last state: CookieConcurrencyTest.EveryIncrementCounts.)
TEST_F(SuiteChangeLogTest, ConcurrentProcessesCreatingTheFileLoseNothing) {
  EXPECT_EQ(testing::runStoreWriters(dir_.path(), kSuite,
                                     {"keys a 300", "keys b 300", "keys c 300", "keys d 300"}),
            (std::vector<int>{0, 0, 0, 0}));
  std::map<std::string, Value> expected;
  for (int i = 0; i < 300; ++i)
    for (const char* prefix : {"a", "b", "c", "d"}) expected[prefix + std::to_string(i)] = i;
  EXPECT_EQ(open()->dictionaryRepresentation(), testing::Entries(expected.begin(), expected.end()));
}

TEST_F(SuiteChangeLogTest, ReadsNeverWaitForAWriterWaitingForAnotherProcess) {
  using Clock = std::chrono::steady_clock;
  auto suite = open();
  suite->set("k", "old");
  // The other process takes the write lock and keeps it for two seconds;
  // a writer here waits for it, holding whatever this process locks.
  testing::HelperProcess other(
      TAVRINO_STORE_WRITER_PATH,
      {dir_.path().string(), std::string(kSuite), "hold", "k", "theirs", "2000"});
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
  // Every read happened while the write was waiting, none waited (a read
  // that did would take about two seconds), and the write landed after the
  // other process's.
  EXPECT_EQ(std::pair(written.load(), oldValues), std::pair(false, 1000));
  writer.join();
  EXPECT_EQ(other.wait(), 0);
  EXPECT_EQ(std::tuple(worst < std::chrono::milliseconds(100), suite->string("k"), log_.lines()),
            std::tuple(true, std::optional<std::string>("mine"), std::vector<std::string>{}));
}

}  // namespace
}  // namespace tavrino::platform
