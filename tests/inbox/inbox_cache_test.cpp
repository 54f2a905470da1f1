// The process's cached listing must always answer what the suite holds:
// after the inbox's own writes (kept without a new walk), after writes that
// bypass it (another process), after rollbacks, and from several threads.

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <thread>

#include "core/keyed_archive.hpp"
#include "inbox/inbox_cache.hpp"
#include "inbox/inbox_test.hpp"
#include "inbox/inbox_time.hpp"

namespace tavrino {
namespace {

class InboxCacheTest : public testing::InboxTest {
 protected:
  // What the suite holds, decoded afresh in key order.
  std::vector<std::pair<std::string, QivInboxMessage>> storedRecords() {
    std::vector<std::pair<std::string, QivInboxMessage>> records;
    for (const auto& [key, value] : groupSuite()->dictionaryRepresentation()) {
      if (key.starts_with("qiv_inbox_")) records.emplace_back(key, inbox::decodeEntry(value));
    }
    return records;
  }

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
    std::vector<QivInboxMessage> stored;
    for (auto& [key, record] : storedRecords()) stored.push_back(record);
    ASSERT_EQ(inbox.getAllMessages(), stored);
    EXPECT_EQ(inbox.getMessageCount(), static_cast<std::int64_t>(stored.size()));
    auto counts = recount(stored);
    EXPECT_EQ(inbox.getCounts(), counts);
    EXPECT_EQ(inbox.getUnreadMessageCount(), counts["2"]);
    for (const char* category : {"", "a", "b", "none"}) {
      EXPECT_EQ(inbox.getCountsByCategory(category), recount(stored, category)) << category;
    }
  }

  // Writes an entry as another writer (or an earlier version) would.
  void writeEntry(const std::string& key, const Value& map) {
    groupSuite()->set(
        key, Value::binary(archiveDictionary(Value(QivInboxHelper().createMessageMap(map)))));
  }

  std::pair<std::uint64_t, std::uint64_t> walksAndDecodes() {
    auto cache = inbox::InboxCache::of(inbox.initStorageForQivInbox());
    std::lock_guard lock(cache->mutex());
    return {cache->walks(), cache->decodes()};
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
    auto stored = storedRecords();
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
      [&] { writeEntry("qiv_inbox_" + id, randomMessage()); },  // id and key may differ
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
  const auto [walks, decodes] = walksAndDecodes();

  // The inbox's own writes and reads: no walk at all.
  inbox.setMessage(message("new", 10, "a"));
  inbox.markReadMessage("m3");
  inbox.deleteMessage("m4");
  EXPECT_TRUE(inbox.pop());  // "new"
  inbox.markReadAllMessages();
  EXPECT_EQ(inbox.getUnreadMessageCount(), 0);
  EXPECT_EQ(inbox.getMessageCount(), 49);
  EXPECT_EQ(walksAndDecodes().first, walks);

  // Outside writes: one changed, one added, one removed, one rewritten with
  // the same bytes. Taken in without a walk, decoding the two that differ.
  writeEntry("qiv_inbox_m10", message("m10", 100, "b", "2"));
  writeEntry("qiv_inbox_x", message("x"));
  groupSuite()->remove("qiv_inbox_m11");
  groupSuite()->set("qiv_inbox_m12", *groupSuite()->object("qiv_inbox_m12"));
  EXPECT_EQ(inbox.getUnreadMessageCount(), 2);
  EXPECT_EQ(walksAndDecodes(), std::make_pair(walks, decodes + 2));
  EXPECT_EQ(inbox.getMessage("m10").category, "b");
  expectTrueToTheSuite("after outside writes");
}

TEST_F(InboxCacheTest, EntriesWrittenByTheEarlierVersionAreReadAndEvictedInOrder) {
  // Entries as the previous version stored them, then a fresh process.
  Util::setCookieToQIVDefaults("_inbox_history_size", "4");
  writeEntry("qiv_inbox_old1", message("old1", 300, "a", "2"));
  writeEntry("qiv_inbox_old2", message("old2", 100, "b", "1"));
  writeEntry("qiv_inbox_old3", message("old3", 200, "a", "2"));
  groupSuite()->set("qiv_inbox_broken", Value("not data"));
  restartPlatform();

  EXPECT_EQ(ids(inbox.getAllMessages()), (std::vector<std::string>{"", "old1", "old2", "old3"}));
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

}  // namespace
}  // namespace tavrino
