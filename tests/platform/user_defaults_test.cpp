// A suite's values, names, transactions and entries by prefix, and the
// point-read index under it.

#include <sys/stat.h>

#include <random>
#include <thread>

#include "platform/store_test_support.hpp"
#include "platform/suite_key_index.hpp"

namespace tavrino::platform {
namespace {

using namespace std::string_literals;
using testing::Entries;
using testing::RawSuiteFile;
using UserDefaultsTest = testing::SuiteTest;

Entries visit(UserDefaultsSuite& suite, std::string_view prefix, std::uint64_t* count = nullptr) {
  Entries seen;
  const std::uint64_t returned = suite.forEachEntry(
      prefix, [&](std::string_view key, const Value& value) { seen.emplace_back(key, value); });
  if (count != nullptr) *count = returned;
  return seen;
}

TEST_F(UserDefaultsTest, ValuesOfEveryKindRoundTripAndPersistBadOnesAreSkipped) {
  // Encodings themselves are the store value fuzz target's; here the file.
  const Value nested = Value::object(
      {{"z", Value::binary({0x00, 0xFF})}, {"a", Value::array({-42, 0.1, false, "h\xC3\xA9llo"})}});
  auto suite = open();
  suite->set("nested", nested);
  suite->set("int", 1);
  for (auto current : {suite, open()}) {
    EXPECT_EQ(current->object("nested")->dump(), nested.dump());  // types and order too
    EXPECT_EQ(current->string("int"), std::nullopt);
  }
  EXPECT_TRUE(log_.lines().empty());

  // Values too deep to store, or not CBOR on disk, are skipped.
  const auto before = suite->dictionaryRepresentation();
  Value deep = "leaf";
  for (int i = 0; i < 300; ++i) deep = Value::array({std::move(deep)});
  suite->set("deep", deep);
  EXPECT_TRUE(log_.contains("cannot be stored"));
  RawSuiteFile(file()).insertRaw("garbage", {0x82, 0x01});
  // The open suite notices the other connection's commit and reloads.
  for (auto current : {suite, open()}) EXPECT_EQ(current->dictionaryRepresentation(), before);
  EXPECT_TRUE(log_.contains("not valid CBOR: 1"));
}

// One suite per name in a private directory; refused names, links and names
// too long for a file live in memory only (a file that is no database:
// DiskFaults.StoreFileOfGarbageIsRefused).
TEST_F(UserDefaultsTest, SuitesAreOnePerNameInAPrivateDirectoryRefusedOnesLiveInMemory) {
  const auto real = dir_.path() / "a" / "real";
  auto defaults = makeSqliteUserDefaults(real, log_);
  for (std::string name : {""s, "a/b"s, "a\\b"s, "a\0b"s, ".hidden"s}) {
    auto suite = defaults->suite(name);
    suite->set("k", "v");
    EXPECT_EQ(std::tuple(suite->isPersistent(), defaults->suite(name), suite->string("k")),
              std::tuple(false, suite, std::optional("v"s)));
  }
  EXPECT_EQ(log_.lines().size(), 5u);
  EXPECT_TRUE(log_.contains("refused suite name \"a\\x00b\""));
  EXPECT_FALSE(std::filesystem::exists(real));  // nothing until a suite opens
  EXPECT_EQ(defaults->suite("s"), defaults->suite("s"));
  struct stat info {};
  ASSERT_EQ(stat(real.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700);

  // A link planted under a suite's name must not lead writes elsewhere.
  std::filesystem::create_symlink(testing::suiteFile(real, "s"),
                                  testing::suiteFile(real, "planted"));
  for (const auto& name : {"planted"s, std::string(300, 'n')}) {
    EXPECT_FALSE(defaults->suite(name)->isPersistent());
    EXPECT_TRUE(log_.contains("cannot open suite \"" + name.substr(0, 7))) << name;
  }
}

// Odd keys are distinct, persist, and are listed by prefix in byte order,
// a prefix ending in 0xFF bytes included.
TEST_F(UserDefaultsTest, OddKeysAreDistinctAndListedByPrefixInByteOrder) {
  auto suite = open();
  const std::vector<std::string> keys{"",   "ab",   "ab\0"s,    "ab\xFF",
                                      "ac", "\xFF", "\xFF\xFF", "aa\xFF\xFF"};
  for (std::size_t i = 0; i < keys.size(); ++i) suite->set(keys[i], static_cast<int>(i));
  std::vector<Entries> listed;
  for (const auto& prefix : {"ab"s, "\xFF"s, "aa"s}) listed.push_back(visit(*open(), prefix));
  EXPECT_EQ(listed, (std::vector<Entries>{{{"ab", 1}, {"ab\0"s, 2}, {"ab\xFF", 3}},
                                          {{"\xFF", 5}, {"\xFF\xFF", 6}},
                                          {{"aa\xFF\xFF", 7}}}));
  EXPECT_EQ(open()->dictionaryRepresentation().size(), keys.size());
}

TEST_F(UserDefaultsTest, OwnTransactionSeesItsWritesOthersOnlyOnceCommittedCountedOnce) {
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
    std::thread([&] {
      outside = visit(*suite, "p");
      outside.emplace_back(suite->string("p3").value_or("-"), suite->object("p0").value_or("-"));
    }).join();
  }));
  EXPECT_EQ(insidePrefix, (Entries{{"p0", "new"}, {"p1", "old"}, {"p5", "new"}, {"p9", "new"}}));
  EXPECT_EQ(std::pair(insideAll.size(), countInside), std::pair(std::size_t{6}, before));
  EXPECT_EQ(outside, (Entries{{"p1", "old"}, {"p3", "old"}, {"p5", "old"}, {"old", "-"}}));
  EXPECT_EQ(visit(*open(), "p"), insidePrefix);

  // The change count moves once per commit that changed something.
  std::uint64_t count = before;
  const auto moved = [&] {
    return suite->changeCount() - std::exchange(count, suite->changeCount());
  };
  std::vector<std::uint64_t> moves{moved()};
  suite->set("k", 1);
  moves.push_back(moved());
  suite->transaction([&] {
    for (int i = 0; i < 10; ++i) suite->set("k" + std::to_string(i), i);
  });
  moves.push_back(moved());
  suite->transaction([] {});
  suite->transaction([&] { suite->object("k"); });
  suite->transaction([&] {
    suite->set("k", 2);
    throw std::runtime_error("rolled back");
  });
  std::uint64_t visited = 0;
  visit(*suite, "", &visited);
  moves.push_back(moved());
  EXPECT_EQ(std::pair(moves, visited), std::pair(std::vector<std::uint64_t>{1, 1, 1, 0}, count));

  // Another process's commit moves it, once it is seen.
  ASSERT_EQ(testing::runStoreWriter(dir_.path(), kSuite, "set theirs x"), 0);
  EXPECT_GT(moved(), 0u);
  visit(*suite, "", &visited);
  EXPECT_EQ(std::tuple(suite->string("theirs"), moved(), visited),
            std::tuple(std::optional("x"s), std::uint64_t{0}, count));
}

// The point-read index against a plain map under churn: inserts, erases that
// leave tombstones, rebuilds, keys of every length around the 8-byte steps.
TEST(SuiteKeyIndex, AgreesWithAMapUnderChurn) {
  std::mt19937 random(7);
  std::map<std::string, Value> entries;  // owns what the index points into
  SuiteKeyIndex index;
  index.erase("absent");  // on an empty index
  const auto keyFor = [](unsigned n) { return ("qiv_c_" + std::to_string(n)).substr(0, n % 25); };
  for (int step = 0; step < 20000; ++step) {
    const std::string key = keyFor(random() % 3000);
    if (auto it = entries.find(key); random() % 3 == 0 && it != entries.end()) {
      index.erase(it->first);
      entries.erase(it);
    } else if (auto [inserted, added] = entries.emplace(key, step); added) {
      index.insert(inserted->first, &inserted->second);
    }
  }
  for (unsigned n = 0; n < 3000; ++n) {
    // Looked up through a different buffer than the stored key's.
    const auto it = entries.find(keyFor(n));
    ASSERT_EQ(index.find(keyFor(n)), it == entries.end() ? nullptr : &it->second) << n;
  }
  EXPECT_EQ(index.size(), entries.size());
}

}  // namespace
}  // namespace tavrino::platform
