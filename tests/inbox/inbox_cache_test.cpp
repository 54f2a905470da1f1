// The process's cached listing must always answer what the suite holds:
// after the inbox's own writes (kept without a new walk), after writes that
// bypass it (another connection, taken in through the keys the suite names as
// changed, or by a walk when it cannot name them), after rollbacks, and from
// several threads.

#include <sqlite3.h>

#include <functional>
#include <random>
#include <thread>

#include "core/value_cbor.hpp"
#include "inbox/inbox_test.hpp"
#include "inbox/inbox_time.hpp"

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
  static QivInbox::Counts recount(const std::vector<QivInboxMessage>& records,
                                  const std::optional<std::string>& category = std::nullopt) {
    QivInbox::Counts counts;
    for (const auto& record : records) {
      if (!record.status.empty() && (!category || record.category == *category)) {
        ++counts[record.status];
      }
    }
    return counts;
  }
  void expectTrueToTheSuite(const std::string& when) {
    SCOPED_TRACE(when);
    const auto listed = inbox.getAllMessages();
    const auto stored = storedRecords();
    ASSERT_EQ(listed, stored);
    EXPECT_EQ(inbox.getMessageCount(), static_cast<std::int64_t>(stored.size()));
    auto counts = recount(stored);
    EXPECT_EQ(inbox.getCounts(), counts);
    EXPECT_EQ(inbox.getUnreadMessageCount(), counts["2"]);
    for (const char* category : {"", "a", "b", "none"}) {
      EXPECT_EQ(inbox.getCountsByCategory(category), recount(stored, category)) << category;
    }
  }
};

TEST_F(InboxCacheTest, RandomOperationsAndOutsideWritesKeepTheCacheTrueToTheSuite) {
  Util::setCookieToQIVDefaults("_inbox_history_size", "12");
  std::mt19937 random(20261206);
  const auto pick = [&](int n) { return static_cast<int>(random() % n); };
  const std::vector<std::string> categories = {"", "a", "b"};
  const std::vector<std::string> statuses = {"1", "2", "2", ""};
  const auto randomMessage = [&] {
    Value map = message("m" + std::to_string(pick(20)), pick(200) - 50, categories[pick(3)],
                        statuses[pick(4)]);
    if (pick(10) == 0) map["qivibxtimeout"] = "soon";  // counts as expiry 0
    return map;
  };
  const auto popEarliest = [&] {
    // The eviction order: earliest expiry, then key order.
    auto stored = storedEntries();
    if (stored.empty()) return;
    const std::string key = std::min_element(stored.begin(), stored.end(), [](auto& a, auto& b) {
                              return inbox::expiryValue(a.second) < inbox::expiryValue(b.second);
                            })->first;
    EXPECT_TRUE(inbox.pop());
    EXPECT_FALSE(groupSuite()->object(key)) << key;
  };
  std::string id;
  const std::vector<std::function<void()>> operations = {
      [&] { inbox.setMessage(randomMessage()); },
      [&] { inbox.setMessage(randomMessage()); },
      popEarliest,
      [&] { inbox.markReadMessage(id); },
      [&] { inbox.markReadMessagesByCategory(categories[pick(3)]); },
      [&] { inbox.deleteMessage(id); },
      [&] {
        if (pick(4) == 0) inbox.deleteMessagesByCategory(categories[pick(3)]);
      },
      [&] { clock().advance(std::chrono::seconds(pick(30))), inbox.checkMessages(); },
      [&] { groupSuite()->set("qiv_inbox_" + id, entry(randomMessage())); },  // id, key may differ
      [&] { groupSuite()->remove("qiv_inbox_" + id); },
      [&] {
        groupSuite()->set("qiv_inbox_" + id, Value::binary({0x01, 0x02}));
      },
  };
  for (int step = 0; step < 400; ++step) {
    id = "m" + std::to_string(pick(20));
    operations[pick(static_cast<int>(operations.size()))]();
    expectTrueToTheSuite("step " + std::to_string(step));
    if (HasFatalFailure()) return;
  }
  // A new process (here: a new platform) decodes everything afresh.
  const auto before = inbox.getAllMessages();
  restartPlatform();
  EXPECT_EQ(inbox.getAllMessages(), before);
}

TEST_F(InboxCacheTest, OwnWritesKeepTheCacheAndOutsideWritesDecodeOnlyWhatChanged) {
  Util::setCookieToQIVDefaults("_inbox_history_size", "100");
  for (int i = 0; i < 50; ++i) inbox.setMessage(message("m" + std::to_string(i), 100 + i));
  inbox.getAllMessages();
  const auto before = cacheWork();

  // The inbox's own writes and reads: no walk at all.
  inbox.setMessage(message("new", 10, "a"));
  inbox.markReadMessage("m3");
  inbox.deleteMessage("m4");
  EXPECT_TRUE(inbox.pop());  // "new"
  inbox.markReadAllMessages();
  EXPECT_EQ(inbox.getUnreadMessageCount(), 0);
  EXPECT_EQ(inbox.getMessageCount(), 49);
  EXPECT_EQ(cacheWork()[0], before[0]);

  // Outside writes: one changed, one added, one removed, one rewritten with
  // the same bytes. Taken in without a walk, decoding the two that differ.
  groupSuite()->set("qiv_inbox_m10", entry(message("m10", 100, "b", "2")));
  groupSuite()->set("qiv_inbox_x", entry(message("x")));
  groupSuite()->remove("qiv_inbox_m11");
  groupSuite()->set("qiv_inbox_m12", *groupSuite()->object("qiv_inbox_m12"));
  EXPECT_EQ(inbox.getUnreadMessageCount(), 2);
  EXPECT_EQ(cacheWork(), (std::vector<std::uint64_t>{before[0], before[1] + 2, before[2] + 1}));
  EXPECT_EQ(inbox.getMessage("m10").category, "b");
  expectTrueToTheSuite("after outside writes");
}

TEST_F(InboxCacheTest, EntriesWrittenByTheEarlierVersionAreReadAndEvictedInOrder) {
  // Entries as the previous version stored them, then a fresh process.
  Util::setCookieToQIVDefaults("_inbox_history_size", "4");
  groupSuite()->set("qiv_inbox_old1", entry(message("old1", 300, "a", "2")));
  groupSuite()->set("qiv_inbox_old2", entry(message("old2", 100, "b", "1")));
  groupSuite()->set("qiv_inbox_old3", entry(message("old3", 200, "a", "2")));
  groupSuite()->set("qiv_inbox_broken", Value("not data"));
  restartPlatform();

  EXPECT_EQ(ids(inbox.getAllMessages()), (Ids{"", "old1", "old2", "old3"}));
  // A full inbox: the unreadable entry goes first (expiry 0), then "old2".
  EXPECT_TRUE(inbox.setMessage(message("new1", 400)));
  EXPECT_FALSE(groupSuite()->object("qiv_inbox_broken"));
  EXPECT_TRUE(inbox.setMessage(message("new2", 400)));
  EXPECT_FALSE(inbox.hasMessage("old2"));
  expectTrueToTheSuite("after the upgrade");
}

TEST_F(InboxCacheTest, ThreadsStoringAndReadingAtOnceShareOneTrueListing) {
  Util::setCookieToQIVDefaults("_inbox_history_size", "1000");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      QivInbox own;
      for (int i = 0; i < 40; ++i) {
        const std::string id = "t" + std::to_string(t) + "_" + std::to_string(i);
        own.setMessage(message(id, i, t % 2 ? "a" : "b"));
        if (i % 4 == 0) own.markReadMessage(id);
        // Whatever it reads is whole: every record it lists is counted.
        EXPECT_GE(own.getAllMessages().size(), static_cast<std::size_t>(i + 1));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(inbox.getMessageCount(), 160);
  EXPECT_EQ(inbox.getCounts(), (QivInbox::Counts{{"1", 40}, {"2", 120}}));
  expectTrueToTheSuite("after the threads");
}

TEST_F(InboxCacheTest, AnotherConnectionsCommitsAreTakenInExactlyOrByAWalk) {
  Util::setCookieToQIVDefaults("_inbox_history_size", "100");
  inbox.setMessage(message("m0", 100));
  OtherConnection other(dataDirectory() / (std::string(kGroup) + ".defaults.sqlite"));
  other.put("unrelated", Value(0));  // shared: the inbox's next write starts the file's log
  for (int i = 1; i < 20; ++i) inbox.setMessage(message("m" + std::to_string(i), 100 + i));
  EXPECT_EQ(inbox.getMessageCount(), 20);
  const auto before = cacheWork();

  other.put("qiv_inbox_m3", entry(message("m3", 100, "b", "1")));
  other.put("qiv_inbox_new", entry(message("new", 50)));
  other.exec("DELETE FROM entries WHERE key = CAST('qiv_inbox_m4' AS BLOB)");
  other.put("unrelated", Value(1));
  expectTrueToTheSuite("after another connection's commits");
  EXPECT_EQ(inbox.getMessage("m3").status, "1");
  EXPECT_FALSE(inbox.hasMessage("m4"));
  EXPECT_EQ(inbox.getUnreadMessageCount(), 19);
  EXPECT_EQ(cacheWork()[0], before[0]);
  EXPECT_EQ(cacheWork()[2], before[2] + 1);
  // The inbox's own writes on top keep it so.
  inbox.markReadMessage("new");
  inbox.deleteMessage("m5");
  EXPECT_EQ(inbox.getAllMessages(), storedRecords());
  EXPECT_EQ(cacheWork()[0], before[0]);

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
  EXPECT_EQ(inbox.getAllMessages(), storedRecords());
  EXPECT_EQ(inbox.getCounts(), (QivInbox::Counts{{"1", 12}, {"2", 8}}));
  EXPECT_EQ(cacheWork()[0], before[0] + 1);

  other.exec("DELETE FROM entries");  // cleared by the other side
  EXPECT_TRUE(inbox.getAllMessages().empty());
  EXPECT_EQ(inbox.getUnreadMessageCount(), 0);
}

}  // namespace
}  // namespace tavrino
