// Visiting a suite's entries by prefix, its change count, and point reads
// racing another connection's commits.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "platform/sqlite_user_defaults.hpp"
#include "platform/store_test_support.hpp"

namespace tavrino::platform {
namespace {

using testing::CapturingLog;
using testing::runStoreWriter;
using namespace std::string_literals;
using Entries = std::vector<std::pair<std::string, Value>>;

Entries visit(UserDefaultsSuite& suite, std::string_view prefix, std::uint64_t* count = nullptr) {
  Entries seen;
  const std::uint64_t returned = suite.forEachEntry(
      prefix, [&](std::string_view key, const Value& value) { seen.emplace_back(key, value); });
  if (count != nullptr) *count = returned;
  return seen;
}

using UserDefaultsEnumerationTest = testing::SuiteTest;

// Odd keys are distinct, persist, and are listed and bounded by prefixes
// exactly in byte order.
TEST_F(UserDefaultsEnumerationTest, OddKeysAreDistinctAndListedByPrefixInByteOrder) {
  auto suite = open();
  std::vector<std::string> keys{"", "a", "ab", "ab\0"s, "abc", "ab\xFF", "ac", "b", "\xFF"};
  keys.insert(keys.end(), {"\xFF\xFF", "aa\xFF\xFF", "a\0b"s, "a\0c"s, "\xE2\x82\xAC uro"});
  keys.insert(keys.end(), {"\xFF\xFE not utf-8", std::string(10000, 'k')});
  for (std::size_t i = 0; i < keys.size(); ++i) suite->set(keys[i], static_cast<int>(i));
  suite->set("removed by null", 1);
  suite->set("removed by null", nullptr);
  suite->set("removed", 1);
  suite->remove("removed");

  std::vector<std::string> sorted = keys;
  std::sort(sorted.begin(), sorted.end());
  for (auto current : {suite, open()}) {
    const auto entries = current->dictionaryRepresentation();
    ASSERT_EQ(entries.size(), keys.size());
    for (std::size_t i = 0; i < sorted.size(); ++i) {
      EXPECT_EQ(entries[i].first, sorted[i]);
      EXPECT_EQ(entries[i].second, std::find(keys.begin(), keys.end(), sorted[i]) - keys.begin());
    }
    EXPECT_EQ(visit(*current, ""), entries);
  }
  EXPECT_EQ(visit(*suite, "ab"), (Entries{{"ab", 2}, {"ab\0"s, 3}, {"abc", 4}, {"ab\xFF", 5}}));
  EXPECT_EQ(visit(*suite, "\xFF"),
            (Entries{{"\xFF", 8}, {"\xFF\xFE not utf-8", 14}, {"\xFF\xFF", 9}}));
  EXPECT_EQ(visit(*suite, "abcd"), Entries{});
  EXPECT_EQ(visit(*suite, "aa"), (Entries{{"aa\xFF\xFF", 10}}));
  EXPECT_EQ(visit(*suite, std::string_view("ab\0", 3)), (Entries{{"ab\0"s, 3}}));
  EXPECT_TRUE(log_.lines().empty());
}

TEST_F(UserDefaultsEnumerationTest, OwnTransactionSeesItsWritesOthersOnlyOnceCommittedCountedOnce) {
  auto suite = open();
  for (const char* key : {"p1", "p3", "p5", "q1"}) suite->set(key, "old");
  Entries insideAll, insidePrefix, outside;
  std::uint64_t countInside = 0;
  const std::uint64_t before = suite->changeCount();
  EXPECT_TRUE(suite->transaction([&] {
    suite->set("p0", "new");  // before the first committed key
    suite->remove("p3");
    suite->set("p5", "new");  // replaced in place
    suite->set("p9", "new");  // after the last one in range
    suite->set("q0", "new");  // beyond the prefix
    suite->set("p7", nullptr);
    insidePrefix = visit(*suite, "p", &countInside);
    insideAll = visit(*suite, "");
    EXPECT_EQ(insideAll, suite->dictionaryRepresentation());
    // Another thread reads the committed entries meanwhile, without waiting.
    std::thread other([&] {
      outside = visit(*suite, "p");
      EXPECT_FALSE(suite->object("p0"));
      EXPECT_EQ(suite->string("p3"), "old");
      EXPECT_EQ(suite->dictionaryRepresentation().size(), 4u);
    });
    other.join();
  }));
  EXPECT_EQ(insidePrefix, (Entries{{"p0", "new"}, {"p1", "old"}, {"p5", "new"}, {"p9", "new"}}));
  EXPECT_EQ(insideAll.size(), 6u);
  EXPECT_EQ(countInside, before);  // the count at the transaction's start
  EXPECT_EQ(outside, (Entries{{"p1", "old"}, {"p3", "old"}, {"p5", "old"}}));
  EXPECT_EQ(visit(*suite, "p"), insidePrefix);
  EXPECT_EQ(visit(*open(), "p"), insidePrefix);

  // The change count moves once per commit that changed something.
  std::uint64_t count = before;
  const auto moved = [&] {
    return suite->changeCount() - std::exchange(count, suite->changeCount());
  };
  EXPECT_EQ(moved(), 1u);
  suite->set("k", 1);
  EXPECT_EQ(moved(), 1u);
  EXPECT_TRUE(suite->transaction([&] {
    for (int i = 0; i < 10; ++i) suite->set("k" + std::to_string(i), i);
  }));
  EXPECT_EQ(moved(), 1u);

  EXPECT_TRUE(suite->transaction([] {}));
  EXPECT_TRUE(suite->transaction([&] { suite->object("k"); }));
  EXPECT_FALSE(suite->transaction([&] {
    suite->set("k", 2);
    throw std::runtime_error("rolled back");
  }));
  std::uint64_t visited = 0;
  visit(*suite, "", &visited);
  EXPECT_EQ(visited, count);
  EXPECT_EQ(moved(), 0u);

  // Another process's commit moves it, once it is seen.
  ASSERT_EQ(runStoreWriter(dir_.path(), kSuite, {"set", "theirs", "x"}), 0);
  EXPECT_GT(moved(), 0u);
  EXPECT_EQ(suite->string("theirs"), "x");
  EXPECT_EQ(moved(), 0u);
  visit(*suite, "", &visited);
  EXPECT_EQ(visited, count);
}

// Readers on several threads while another connection commits a rising
// counter: no reader ever sees it go back, and every read that starts after
// the last commit sees it, even while another reader is refreshing.
TEST_F(UserDefaultsEnumerationTest, ReadsRacingAnotherConnectionNeverGoBack) {
  auto suite = open();
  CapturingLog otherLog;
  auto otherDefaults = makeSqliteUserDefaults(dir_.path(), otherLog);
  auto other = otherDefaults->suite(kSuite);
  other->set("n", 0);
  constexpr int kLast = 300;
  std::atomic<bool> done{false};
  std::atomic<int> regressions{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t) {
    readers.emplace_back([&, t] {
      int seen = 0;
      const auto check = [&](const std::optional<Value>& value) {
        const int now = value ? value->get<int>() : -1;
        if (now < seen) ++regressions;
        seen = std::max(seen, now);
      };
      while (!done.load()) {
        if (t == 0) {
          check(suite->object("n"));
        } else if (t == 1) {
          suite->forEachEntry("n", [&](std::string_view, const Value& value) { check(value); });
        } else {
          const auto text = suite->string("n");  // not a text: always nothing
          if (text) ++regressions;
          check(suite->object("n"));
        }
      }
      check(suite->object("n"));
      if (seen != kLast) ++regressions;
    });
  }
  for (int i = 1; i <= kLast; ++i) other->set("n", i);
  done = true;
  for (auto& reader : readers) reader.join();
  EXPECT_EQ(regressions.load(), 0);
  EXPECT_TRUE(log_.lines().empty());
}

}  // namespace
}  // namespace tavrino::platform
