// Another connection's commits reach the cached listing through the keys the
// suite names as changed, without a walk; when the suite cannot name them
// (it had to read everything) the cache walks, and either way it answers
// exactly what the suite holds.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "core/keyed_archive.hpp"
#include "core/value_cbor.hpp"
#include "inbox/inbox_cache.hpp"
#include "inbox/inbox_test.hpp"

namespace tavrino {
namespace {

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
    const auto bytes = encodeValue(value);
    std::string hex;
    for (const auto byte : *bytes)
      hex += {"0123456789abcdef"[byte >> 4], "0123456789abcdef"[byte & 15]};
    exec("INSERT OR REPLACE INTO entries(key, value) VALUES(CAST('" + key + "' AS BLOB), x'" + hex +
         "')");
  }

 private:
  sqlite3* db_ = nullptr;
};

class InboxCatchUpTest : public testing::InboxTest {
 protected:
  std::filesystem::path groupFile() const {
    return dataDirectory() / (std::string(testing::kGroup) + ".defaults.sqlite");
  }
  static Value entry(const Value& map) {
    return Value::binary(archiveDictionary(Value(QivInboxHelper().createMessageMap(map))));
  }
  std::vector<std::string> storedIds() {
    std::vector<std::string> ids;
    for (const auto& [key, value] : groupSuite()->dictionaryRepresentation()) {
      if (key.starts_with("qiv_inbox_")) ids.push_back(inbox::decodeEntry(value).id);
    }
    return ids;
  }
  std::pair<std::uint64_t, std::uint64_t> walksAndCatchUps() {
    auto cache = inbox::InboxCache::of(inbox.initStorageForQivInbox());
    std::lock_guard lock(cache->mutex());
    return {cache->walks(), cache->catchUps()};
  }
};

TEST_F(InboxCatchUpTest, AnotherConnectionsCommitsAreTakenInExactlyOrByAWalk) {
  Util::setCookieToQIVDefaults("_inbox_history_size", "100");
  inbox.setMessage(message("m0", 100));
  OtherConnection other(groupFile());
  other.put("unrelated", Value(0));  // shared: the inbox's next write starts the file's log
  for (int i = 1; i < 20; ++i) inbox.setMessage(message("m" + std::to_string(i), 100 + i));
  EXPECT_EQ(inbox.getMessageCount(), 20);
  const auto [walks, catchUps] = walksAndCatchUps();

  other.put("qiv_inbox_m3", entry(message("m3", 100, "b", "1")));
  other.put("qiv_inbox_new", entry(message("new", 50)));
  other.exec("DELETE FROM entries WHERE key = CAST('qiv_inbox_m4' AS BLOB)");
  other.put("unrelated", Value(1));
  EXPECT_EQ(ids(inbox.getAllMessages()), storedIds());
  EXPECT_EQ(inbox.getMessage("m3").status, "1");
  EXPECT_FALSE(inbox.hasMessage("m4"));
  EXPECT_EQ(inbox.getUnreadMessageCount(), 19);
  EXPECT_EQ(walksAndCatchUps(), std::make_pair(walks, catchUps + 1));
  // The inbox's own writes on top keep it so.
  inbox.markReadMessage("new");
  inbox.deleteMessage("m5");
  EXPECT_EQ(ids(inbox.getAllMessages()), storedIds());
  EXPECT_EQ(walksAndCatchUps().first, walks);

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
  EXPECT_EQ(ids(inbox.getAllMessages()), storedIds());
  EXPECT_EQ(inbox.getCounts(), (QivInbox::Counts{{"1", 12}, {"2", 8}}));
  EXPECT_EQ(walksAndCatchUps().first, walks + 1);

  other.exec("DELETE FROM entries");  // cleared by the other side
  EXPECT_TRUE(inbox.getAllMessages().empty());
  EXPECT_EQ(inbox.getUnreadMessageCount(), 0);
}

}  // namespace
}  // namespace tavrino
