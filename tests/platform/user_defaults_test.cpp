#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "platform/sqlite_user_defaults.hpp"
#include "platform/store_test_support.hpp"

namespace tavrino::platform {
namespace {

using testing::CapturingLog;
using testing::RawSuiteFile;
using testing::suiteFile;

using UserDefaultsTest = testing::SuiteTest;

Value everyKind() {
  Value value = Value::object();
  value["text"] = "h\xC3\xA9llo";
  value["data"] = Value::binary({0x00, 0xFF, 0x10});
  value["int"] = -42;
  value["big"] = std::uint64_t{1} << 63;
  value["float"] = 0.1;
  value["bool"] = false;
  value["list"] = Value::array({1, "two", Value::array({3.5}), Value::object()});
  value["z_map_keeps_order"] = Value::object({{"b", 1}, {"a", Value::object({{"x", true}})}});
  return value;
}

TEST_F(UserDefaultsTest, ValuesOfEveryKindRoundTripAndPersistBadOnesAreSkipped) {
  const Value nested = everyKind();
  auto suite = open();
  EXPECT_TRUE(suite->isPersistent());
  for (const auto& [key, value] : nested.items()) suite->set(key, value);
  suite->set("nested", nested);

  for (auto current : {suite, open()}) {
    for (const auto& [key, value] : nested.items()) {
      auto stored = current->object(key);
      ASSERT_TRUE(stored) << key;
      EXPECT_EQ(*stored, value) << key;
      EXPECT_EQ(stored->type(), value.type()) << key;
    }
    EXPECT_EQ(current->object("nested")->dump(), nested.dump());
    EXPECT_EQ(current->string("text"), "h\xC3\xA9llo");
    EXPECT_EQ(current->string("int"), std::nullopt);
  }
  EXPECT_TRUE(log_.lines().empty());

  // Values too deep to store, or not CBOR on disk, are skipped.
  const auto before = suite->dictionaryRepresentation();
  Value deep = "leaf";
  for (int i = 0; i < 300; ++i) deep = Value::array({std::move(deep)});
  suite->set("deep", deep);
  EXPECT_TRUE(log_.contains("cannot be stored"));
  {
    RawSuiteFile raw(file());
    raw.insertRaw("truncated", {0x82, 0x01});
    raw.insertRaw("garbage", {0xFF, 0x00});
    raw.insertRaw("deep", std::vector<unsigned char>(100000, 0x81));
  }
  // The open suite notices the other connection's commit and reloads.
  for (auto current : {suite, open()}) EXPECT_EQ(current->dictionaryRepresentation(), before);
  EXPECT_TRUE(log_.contains("not valid CBOR: 3"));
}

// The directory is created private; neither it nor suite files may be links.
TEST_F(UserDefaultsTest, SuitesAreOnePerNameInAPrivateDirectory) {
  const auto real = dir_.path() / "a" / "real";
  auto defaults = makeSqliteUserDefaults(real, log_);
  EXPECT_FALSE(std::filesystem::exists(real));  // nothing until a suite opens
  auto one = defaults->suite("s");
  EXPECT_EQ(defaults->suite("s"), one);
  EXPECT_FALSE(defaults->suite("two")->object("k"));
  struct stat info {};
  ASSERT_EQ(stat(real.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700);

  // A link planted under a suite's name must not lead writes elsewhere.
  std::filesystem::create_symlink(suiteFile(real, "s"), suiteFile(real, "planted"));
  EXPECT_FALSE(defaults->suite("planted")->isPersistent());
  EXPECT_TRUE(log_.contains("cannot open suite \"planted\""));
}

TEST_F(UserDefaultsTest, TransactionsThatThrowOrFailToWriteRollBackAsAWhole) {
  auto suite = open();
  suite->set("keep", "old");
  EXPECT_FALSE(suite->transaction([&] {
    suite->set("keep", "new");
    suite->set("added", 1);
    suite->transaction([&] {
      EXPECT_EQ(suite->string("keep"), "new");  // the inner one joins the outer
      throw std::runtime_error("boom");
    });
    suite->set("after", 2);
  }));
  EXPECT_TRUE(log_.contains("boom"));

  // A trigger makes SQLite refuse one key and end the whole transaction, as
  // a full disk would: memory stays as on disk.
  RawSuiteFile(file()).exec(
      "CREATE TRIGGER refuse BEFORE INSERT ON entries WHEN NEW.key = CAST('bad' AS BLOB) "
      "BEGIN SELECT RAISE(ROLLBACK, 'refused'); END");
  suite->set("bad", 1);
  suite->transaction([&] {
    suite->set("keep", "new");
    suite->set("bad", 2);
    suite->set("after", 3);  // must not commit on its own
  });
  for (auto current : {suite, open()}) {
    EXPECT_EQ(current->dictionaryRepresentation(),
              (std::vector<std::pair<std::string, Value>>{{"keep", "old"}}));
  }
  EXPECT_TRUE(log_.contains("refused"));
}

TEST_F(UserDefaultsTest, ThreadsIncrementingInTransactionsLoseNothing) {
  auto suite = open();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 50; ++i) {
        suite->transaction([&] {
          const auto current = suite->object("counter");
          suite->set("counter", (current ? current->get<int>() : 0) + 1);
        });
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(open()->object("counter"), 200);
}

TEST_F(UserDefaultsTest, RefusedNamesAndFilesLiveInMemoryOnly) {
  const auto data = dir_.path() / "data";
  auto defaults = makeSqliteUserDefaults(data, log_);
  for (std::string name : {std::string(), std::string("a/b"), std::string("a\\b"),
                           std::string("a\0b", 3), std::string(".hidden"), std::string("..")}) {
    auto suite = defaults->suite(name);
    EXPECT_FALSE(suite->isPersistent());
    EXPECT_EQ(defaults->suite(name), suite);
    suite->set("k", "v");
    suite->transaction([&] { suite->set("k2", "v2"); });
    EXPECT_EQ(suite->string("k"), "v");
    EXPECT_EQ(suite->dictionaryRepresentation().size(), 2u);
  }
  EXPECT_EQ(log_.lines().size(), 6u);
  EXPECT_TRUE(log_.contains("refused suite name \"a\\x00b\""));
  EXPECT_FALSE(std::filesystem::exists(data));

  // So is a file that is no database, which is left alone.
  const std::string contents = "not a database, just some text\n";
  std::ofstream(file(), std::ios::binary) << contents;

  auto suite = open();
  EXPECT_FALSE(suite->isPersistent());
  suite->set("k", "v");
  EXPECT_EQ(suite->string("k"), "v");
  EXPECT_TRUE(log_.contains("cannot open suite \"qiv_default\""));

  std::ifstream in(file(), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), contents);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1);

  // Too long for a file name: the open fails.
  EXPECT_FALSE(defaults->suite(std::string(300, 'n'))->isPersistent());
  EXPECT_TRUE(log_.contains("cannot open suite \"nnn"));
}

}  // namespace
}  // namespace tavrino::platform
