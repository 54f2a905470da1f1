// The process's cached listing must always answer what the suite holds:
// after the inbox's own writes (kept without a new walk), after writes that
// bypass it (taken in through the keys the suite names as changed, or by a
// walk when it cannot name them). The reliability tests share it between
// threads.

#include <sqlite3.h>

#include "core/value_cbor.hpp"
#include "inbox/inbox_cache.hpp"
#include "inbox/inbox_test.hpp"

namespace tavrino {
namespace {

using namespace testing;

// A connection of its own to the inbox suite's file: another process, or
// the previous version of the SDK.
class OtherConnection {
 public:
  explicit OtherConnection(const std::filesystem::path& file) {
    EXPECT_EQ(sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    sqlite3_busy_timeout(db_, 5000);
  }
  ~OtherConnection() { sqlite3_close(db_); }
  void exec(const std::string& sql) {
    EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db_);
  }
  void put(const std::string& key, const Value& value) {
    std::string hex;
    const auto bytes = encodeValue(value);
    for (const auto byte : *bytes)
      hex += {"0123456789abcdef"[byte >> 4], "0123456789abcdef"[byte & 15]};
    exec("INSERT OR REPLACE INTO entries(key, value) VALUES(CAST('" + key + "' AS BLOB), x'" + hex +
         "')");
  }

 private:
  sqlite3* db_ = nullptr;
};

class InboxCacheTest : public InboxTest {
 protected:
  // What the suite holds, decoded afresh in key order.
  std::vector<QivInboxMessage> storedRecords() {
    std::vector<QivInboxMessage> records;
    for (const auto& [key, value] : groupSuite()->dictionaryRepresentation()) {
      if (key.starts_with("qiv_inbox_")) records.push_back(inbox::decodeEntry(value));
    }
    return records;
  }
  // The cache's walks, decodes and catch-ups so far.
  std::vector<std::uint64_t> cacheWork() {
    auto cache = inbox::InboxCache::of(inbox.initStorageForQivInbox());
    std::lock_guard lock(cache->mutex());
    return {cache->walks(), cache->decodes(), cache->catchUps()};
  }
  // The listing and the counts agree with the suite.
  void expectTrueToTheSuite() {
    const auto stored = storedRecords();
    ASSERT_EQ(inbox.getAllMessages(), stored);
    QivInbox::Counts counts;
    for (const auto& record : stored) counts[record.status] += 1;
    EXPECT_EQ(inbox.getCounts(), counts);
  }
};

TEST_F(InboxCacheTest, OwnWritesKeepTheCacheAndOutsideWritesAreTakenInExactlyOrByAWalk) {
  Util::setCookieToQIVDefaults("_inbox_history_size", "100");
  inbox.setMessage(message("m0", 100));
  OtherConnection other(dataDirectory() / (std::string(kGroup) + ".defaults.sqlite"));
  other.put("unrelated", Value(0));  // shared: the inbox's next write starts the file's log
  for (int i = 1; i < 20; ++i) inbox.setMessage(message("m" + std::to_string(i), 100 + i));
  inbox.getAllMessages();
  const auto before = cacheWork();

  // The inbox's own writes and reads: no walk at all.
  inbox.setMessage(message("new", 10, "a"));
  inbox.markReadMessage("m3");
  inbox.deleteMessage("m4");
  EXPECT_TRUE(inbox.pop());  // "new"
  inbox.markReadAllMessages();
  expectTrueToTheSuite();
  EXPECT_EQ(cacheWork()[0], before[0]);

  // Writes past the inbox: one changed, one added, one removed, one rewritten
  // with the same bytes. Taken in without a walk, decoding the two that differ.
  groupSuite()->set("qiv_inbox_m10", entry(message("m10", 100, "b", "2")));
  groupSuite()->set("qiv_inbox_x", entry(message("x")));
  groupSuite()->remove("qiv_inbox_m11");
  groupSuite()->set("qiv_inbox_m12", *groupSuite()->object("qiv_inbox_m12"));
  EXPECT_EQ(inbox.getUnreadMessageCount(), 2);
  EXPECT_EQ(cacheWork(), (std::vector<std::uint64_t>{before[0], before[1] + 2, before[2] + 1}));
  expectTrueToTheSuite();

  // Another connection's commits: the same, one catch-up for all of them.
  other.put("qiv_inbox_m5", entry(message("m5", 100, "b", "2")));
  other.put("qiv_inbox_y", entry(message("y", 50, "a")));
  other.exec("DELETE FROM entries WHERE key = CAST('qiv_inbox_m6' AS BLOB)");
  other.put("unrelated", Value(1));
  expectTrueToTheSuite();
  EXPECT_EQ(inbox.getUnreadMessageCount(), 4);
  EXPECT_EQ(cacheWork(), (std::vector<std::uint64_t>{before[0], before[1] + 4, before[2] + 2}));

  // More changes in one commit than the suite file's log keeps: the suite
  // reads everything, cannot name the changed keys, and the cache walks.
  other.exec("BEGIN");
  for (int round = 0; round < 500; ++round) {
    const std::string id = "m" + std::to_string(round % 12);
    other.put("qiv_inbox_" + id, entry(message(id, round, "", "1")));
  }
  other.exec("DELETE FROM entries WHERE key = CAST('qiv_inbox_m2' AS BLOB)");
  other.exec(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000) "
      "INSERT OR REPLACE INTO entries(key, value) SELECT CAST('z' || i AS BLOB), x'01' FROM n");
  other.exec("COMMIT");
  expectTrueToTheSuite();
  EXPECT_EQ(inbox.getCounts(), (QivInbox::Counts{{"1", 19}, {"2", 2}}));
  EXPECT_EQ(cacheWork()[0], before[0] + 1);
}

}  // namespace
}  // namespace tavrino
