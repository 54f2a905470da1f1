// A suite file gets a change log only once another connection is seen to
// write it; from then on that connection's commits are taken in key by key
// through the log, and exactly: writes, deletions and a clearing are seen,
// users are told which keys changed, and a log that was trimmed, dropped,
// never there or impossible to start makes the suite read everything instead.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

#include "core/value_cbor.hpp"
#include "platform/sqlite_user_defaults.hpp"
#include "platform/store_test_support.hpp"
#include "platform/suite_database.hpp"
#include "tavrino/platform/suite_changes.hpp"

namespace tavrino::platform {
namespace {

using testing::CapturingLog;
using testing::RawSuiteFile;
using testing::runStoreWriter;

std::vector<unsigned char> encoded(const Value& value) {
  const auto bytes = encodeValue(value);
  return {bytes->begin(), bytes->end()};
}

class SuiteChangeLogTest : public testing::SuiteTest {
 protected:
  // The keys under prefix the suite names as changed since count with their
  // values now (null: removed), or nothing when it cannot tell.
  using Changes = std::map<std::string, std::optional<Value>>;
  static std::optional<Changes> changesSince(UserDefaultsSuite& suite, std::uint64_t count,
                                             std::string_view prefix = "") {
    Changes changes;
    auto* source = dynamic_cast<SuiteChanges*>(&suite);
    EXPECT_NE(source, nullptr);
    if (source == nullptr) return std::nullopt;
    const auto reached =
        source->forEachChangeSince(count, prefix, [&](std::string_view key, const Value* value) {
          EXPECT_FALSE(changes.contains(std::string(key))) << "named twice: " << key;
          changes[std::string(key)] = value ? std::optional<Value>(*value) : std::nullopt;
        });
    if (!reached) return std::nullopt;
    EXPECT_EQ(*reached, suite.changeCount());
    return changes;
  }

  // The suite's entries as a fresh process reads them.
  std::map<std::string, Value> onDisk() {
    auto fresh = makeSqliteUserDefaults(dir_.path(), log_)->suite(kSuite);
    const auto entries = fresh->dictionaryRepresentation();
    return {entries.begin(), entries.end()};
  }
  bool hasLog() const {
    const std::string objects = RawSuiteFile(file()).text(
        "SELECT count(*) FROM sqlite_master WHERE name LIKE 'changes%' AND type != 'index'");
    EXPECT_TRUE(objects == "0" || objects == "5") << "a partial log: " << objects;
    return objects == "5";
  }
  // Another connection writes, then the suite: the file has the log from
  // then on. The entries are as they were.
  void share(UserDefaultsSuite& suite) {
    RawSuiteFile(file()).insertRaw("shared", encoded(true));
    suite.remove("shared");
    ASSERT_TRUE(hasLog());
  }
  static std::map<std::string, Value> served(UserDefaultsSuite& suite) {
    const auto entries = suite.dictionaryRepresentation();
    return {entries.begin(), entries.end()};
  }
};

TEST_F(SuiteChangeLogTest, TheLogStartsWithAnotherProcessesWritesWhichAreThenSeenExactly) {
  auto suite = open();
  for (int i = 0; i < 20; ++i) suite->set("a" + std::to_string(i), i);
  suite->transaction([&] {
    suite->remove("a0");
    suite->set("other", "mine");
  });
  open()->set("next launch", true);
  suite = open();
  EXPECT_FALSE(hasLog()) << "written by one process only";

  // Taking in another process's writes is a read: it starts nothing...
  for (const char* value : {"x", "y", "theirs"}) {
    ASSERT_EQ(runStoreWriter(dir_.path(), kSuite, std::string("set a1 ") + value), 0);
    EXPECT_EQ(suite->object("a1"), value);
    // Restarting the write-ahead log lets the next commit reuse its frame numbers.
    RawSuiteFile(file()).exec("PRAGMA wal_checkpoint(TRUNCATE)");
  }
  EXPECT_FALSE(hasLog());
  // ...the next own write does, and is logged itself.
  std::uint64_t start = suite->changeCount();
  suite->set("a2", "mine");
  EXPECT_TRUE(hasLog());
  EXPECT_EQ(changesSince(*suite, start), (Changes{{"a2", Value("mine")}}));
  start = suite->changeCount();

  // a8 is rewritten twice, then back to what it was: named, with its value.
  for (const char* command :
       {"keys b 30", "remove a5", "set a7 theirs", "remove never-there", "set a8 x", "set a8 y"}) {
    ASSERT_EQ(runStoreWriter(dir_.path(), kSuite, command), 0);
  }
  EXPECT_EQ(served(*suite), onDisk());
  const auto changes = changesSince(*suite, start);
  ASSERT_TRUE(changes) << "took in the commits by reading everything";
  Changes expected;
  for (int i = 0; i < 30; ++i) expected["b" + std::to_string(i)] = Value(i);
  expected["a5"] = std::nullopt;
  expected["a7"] = Value("theirs");
  expected["a8"] = Value("y");
  EXPECT_EQ(*changes, expected);
  // Only under the prefix asked for; nothing since now.
  EXPECT_EQ(changesSince(*suite, start, "a")->size(), 3u);
  EXPECT_EQ(changesSince(*suite, suite->changeCount()), Changes{});
  EXPECT_FALSE(changesSince(*suite, suite->changeCount() + 1));
  EXPECT_EQ(runStoreWriter(dir_.path(), kSuite, "expect other mine"), 0);
  EXPECT_TRUE(log_.lines().empty());
}

// Then a trimmed or dropped log makes the suite read everything.
TEST_F(SuiteChangeLogTest, ClearingAndRollbacksOfAnotherConnectionAreSeenExactlyOrReadInFull) {
  auto suite = open();
  for (int i = 0; i < 10; ++i) suite->set("k" + std::to_string(i), i);
  RawSuiteFile raw(file());
  share(*suite);

  // A transaction that rolls back leaves its numbers to the next commit.
  raw.exec("BEGIN; DELETE FROM entries WHERE key = CAST('k1' AS BLOB); ROLLBACK");
  std::uint64_t count = suite->changeCount();
  raw.insertRaw("n", encoded("new"));
  EXPECT_EQ(suite->object("k1"), 1);
  EXPECT_EQ(changesSince(*suite, count), (Changes{{"n", Value("new")}}));

  // An update in place (no replacing insert) names the key too.
  count = suite->changeCount();
  raw.exec(
      "UPDATE entries SET value = (SELECT value FROM entries WHERE key = CAST('k3' AS "
      "BLOB)) WHERE key = CAST('k2' AS BLOB)");
  EXPECT_EQ(changesSince(*suite, count), (Changes{{"k2", Value(3)}}));

  count = suite->changeCount();
  raw.exec("DELETE FROM entries");
  EXPECT_TRUE(suite->dictionaryRepresentation().empty());
  const auto cleared = changesSince(*suite, count);
  ASSERT_TRUE(cleared);
  EXPECT_EQ(cleared->size(), 11u);
  for (const auto& [key, value] : *cleared) EXPECT_FALSE(value) << key;

  // Own writes after the other's keep being named as well.
  count = suite->changeCount();
  suite->set("mine", true);
  EXPECT_EQ(changesSince(*suite, count), (Changes{{"mine", Value(true)}}));
  count = suite->changeCount();

  // More changes in one go than the log keeps: the number this suite saw
  // last is trimmed away.
  const std::int64_t many = SuiteDatabase::kChangeLogLength + 600;
  raw.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
           std::to_string(many) +
           ") INSERT OR REPLACE INTO entries(key, value) "
           "SELECT CAST('t' || (i % 700) AS BLOB), x'01' FROM n");
  const auto entries = served(*suite);
  EXPECT_EQ(entries.size(), 701u);
  EXPECT_EQ(entries, onDisk());
  EXPECT_FALSE(changesSince(*suite, count)) << "a reload cannot tell what changed";

  // Once reloaded, the log serves again.
  count = suite->changeCount();
  raw.insertRaw("t3", encoded(3));
  EXPECT_EQ(changesSince(*suite, count), (Changes{{"t3", Value(3)}}));

  // Without the log every commit is still seen, and the next own write
  // starts it again.
  raw.exec(
      "DROP TRIGGER changes_insert; DROP TRIGGER changes_update; DROP TRIGGER changes_delete;"
      "DROP TRIGGER changes_trim; DROP TABLE changes");
  raw.insertRaw("u", encoded("u"));
  EXPECT_EQ(suite->object("u"), "u");
  EXPECT_FALSE(hasLog());
  suite->set("v", "v");
  EXPECT_TRUE(hasLog());
  count = suite->changeCount();
  raw.exec("DELETE FROM entries WHERE key = CAST('u' AS BLOB)");
  EXPECT_EQ(changesSince(*suite, count), (Changes{{"u", std::nullopt}}));
  EXPECT_EQ(suite->object("v"), "v");
  EXPECT_EQ(served(*suite), onDisk());
}

// Starting the log fails here because its name is taken; the suite writes
// on without it and reads the other connection's commits in full.
TEST_F(SuiteChangeLogTest, AFileWhereTheLogCannotStartIsReadInFull) {
  auto suite = open();
  suite->set("k", 1);
  RawSuiteFile raw(file());
  raw.exec("CREATE INDEX changes ON entries(value)");
  for (int round = 0; round < 3; ++round) {
    raw.insertRaw("theirs", encoded(round));
    EXPECT_EQ(suite->object("theirs"), round);
    const std::uint64_t count = suite->changeCount();
    EXPECT_TRUE(suite->transaction([&] {
      suite->set("mine", round);
      suite->remove("k");
    }));
    raw.insertRaw("after", encoded(round));
    EXPECT_EQ(suite->object("mine"), round);
    EXPECT_FALSE(changesSince(*suite, count)) << "read in full";
    EXPECT_EQ(served(*suite), onDisk());
  }
  EXPECT_FALSE(hasLog());
  EXPECT_EQ(log_.lines().size(), 1u) << "said once";
  EXPECT_TRUE(log_.contains("cannot start a change log"));
}

TEST_F(SuiteChangeLogTest, AStoreOfTheEarlierLayoutOpensGainsTheLogAndStaysReadable) {
  {
    // The file as the previous version left it: the entries table alone.
    std::filesystem::create_directories(dir_.path());
    RawSuiteFile raw(file(), true);
    raw.exec(
        "PRAGMA journal_mode=WAL; CREATE TABLE entries(key BLOB PRIMARY KEY NOT NULL, value BLOB "
        "NOT NULL) WITHOUT ROWID");
    raw.insertRaw("old", encoded("kept"));
  }
  auto suite = open();
  EXPECT_EQ(suite->object("old"), "kept");
  // The previous version writes with the same statement as before, and
  // keeps the log once there.
  RawSuiteFile(file()).insertRaw("older", encoded(2));
  EXPECT_EQ(suite->object("older"), 2);
  suite->set("new", "ours");
  const std::uint64_t count = suite->changeCount();
  RawSuiteFile(file()).insertRaw("older", encoded(3));
  EXPECT_EQ(changesSince(*suite, count), (Changes{{"older", Value(3)}}));

  // And reads the file as it always did.
  std::map<std::string, Value> read;
  for (const auto& [key, bytes] : RawSuiteFile(file()).entries()) read[key] = *decodeValue(bytes);
  EXPECT_EQ(read, (std::map<std::string, Value>{{"new", "ours"}, {"old", "kept"}, {"older", 3}}));
}

// Right after each commit of its own the suite reads on without asking SQLite
// (it knows the header its commit left); a commit by the other side that
// finished before a read must still be seen by it.
TEST_F(SuiteChangeLogTest, ACommitRightAfterAnOwnCommitIsNeverMissed) {
  auto suite = open();
  suite->set("theirs", 0);
  std::atomic<int> finished{0};
  std::atomic<bool> stop{false};
  std::thread other([&] {
    RawSuiteFile raw(file());
    for (int i = 1; !stop; ++i) {
      raw.insertRaw("theirs", encoded(i));
      finished.store(i);
    }
  });
  int stale = 0;
  for (int i = 0; i < 1500; ++i) {
    suite->set("mine", i);
    const int before = finished.load();
    const auto seen = suite->object("theirs");
    if (!seen || seen->get<int>() < before) ++stale;
  }
  stop = true;
  other.join();
  EXPECT_EQ(stale, 0);
  EXPECT_EQ(suite->object("theirs"), finished.load());
  EXPECT_EQ(served(*suite), onDisk());
}

}  // namespace
}  // namespace tavrino::platform
