// User-defaults suites on SQLite: reads from memory, writes, and the check
// that keeps the in-memory copy current across processes.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/sqlite_user_defaults.hpp"
#include "platform/suite_database.hpp"
#include "platform/wal_index_probe.hpp"
#include "tavrino/platform/linux.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::platform {
namespace {

class SilentLog final : public Log {
 public:
  void log(std::string_view) override {}
  void console(std::string_view) override {}
};

class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tavrino-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::string keyFor(int i) {
  return "qiv_c_campaign_" + std::to_string(1000 + i);
}

// A suite of 100 entries shaped like the SDK's expiring cookies.
struct HundredKeySuite {
  HundredKeySuite() {
    defaults = makeSqliteUserDefaults(dir.path(), log);
    suite = defaults->suite("qiv_default");
    suite->transaction([&] {
      for (int i = 0; i < 100; ++i) suite->set(keyFor(i), "123456:7 1700000000");
    });
    suite->object(keyFor(0));  // settle the staleness check
    suite->object(keyFor(0));
  }
  ScratchDirectory dir;
  SilentLog log;
  std::unique_ptr<UserDefaults> defaults;
  std::shared_ptr<UserDefaultsSuite> suite;
};

void BM_ObjectOfOneKeyAmongHundred(benchmark::State& state) {
  HundredKeySuite fixture;
  const std::string key = keyFor(50);
  for (auto _ : state) benchmark::DoNotOptimize(fixture.suite->object(key));
}
BENCHMARK(BM_ObjectOfOneKeyAmongHundred);

void BM_Set(benchmark::State& state) {
  HundredKeySuite fixture;
  const std::string key = keyFor(50);
  int i = 0;
  for (auto _ : state) fixture.suite->set(key, ++i);
}
BENCHMARK(BM_Set);

void BM_ThirtyWritesInOneTransaction(benchmark::State& state) {
  HundredKeySuite fixture;
  int round = 0;
  for (auto _ : state) {
    ++round;
    fixture.suite->transaction([&] {
      for (int i = 0; i < 30; ++i) fixture.suite->set(keyFor(i), round);
    });
  }
}
BENCHMARK(BM_ThirtyWritesInOneTransaction);

void BM_DictionaryRepresentationOfHundred(benchmark::State& state) {
  HundredKeySuite fixture;
  for (auto _ : state) benchmark::DoNotOptimize(fixture.suite->dictionaryRepresentation());
}
BENCHMARK(BM_DictionaryRepresentationOfHundred);

// A write of each connection, the suite's last: it has then seen the other's
// commit and started the file's change log, as a file written by two
// processes has.
void shareFile(UserDefaultsSuite& suite, UserDefaultsSuite& other) {
  other.set(keyFor(99), 0);
  suite.set(keyFor(98), 0);
}

// The first read after another connection committed: the data-version query
// and the changed entry read again through the change log (the other
// connection's write is not timed). What it costs grows with what the other
// connection changed, not with the suite.
void BM_ObjectAfterAnotherConnectionCommittedAmong(benchmark::State& state) {
  HundredKeySuite fixture;
  fixture.suite->transaction([&] {
    for (int i = 100; i < state.range(0); ++i) fixture.suite->set(keyFor(i), "123456:7 1700000000");
  });
  SilentLog log;
  auto other = makeSqliteUserDefaults(fixture.dir.path(), log)->suite("qiv_default");
  shareFile(*fixture.suite, *other);
  const std::string key = keyFor(50);
  int i = 0;
  for (auto _ : state) {
    state.PauseTiming();
    other->set(keyFor(99), ++i);
    state.ResumeTiming();
    benchmark::DoNotOptimize(fixture.suite->object(key));
  }
}
BENCHMARK(BM_ObjectAfterAnotherConnectionCommittedAmong)->Arg(100)->Arg(5000);

// A write and the read after it: the read needs no query when the suite
// knows the wal-index header its own commit left.
void BM_SetThenObject(benchmark::State& state) {
  HundredKeySuite fixture;
  const std::string written = keyFor(99);
  const std::string read = keyFor(50);
  int i = 0;
  for (auto _ : state) {
    fixture.suite->set(written, ++i);
    benchmark::DoNotOptimize(fixture.suite->object(read));
  }
}
BENCHMARK(BM_SetThenObject);

// The two halves of the staleness check, alone: the wal-index header compare
// that answers when nobody wrote, and the query that decides otherwise.
struct OpenDatabase {
  OpenDatabase() {
    std::string error;
    database = SuiteDatabase::open(dir.path() / "bench.defaults.sqlite", &error);
    if (!database) throw std::runtime_error(error);
    database->dataVersion();
  }
  ScratchDirectory dir;
  std::unique_ptr<SuiteDatabase> database;
};

void BM_StalenessCheckWalIndexHeader(benchmark::State& state) {
  OpenDatabase fixture;
  WalIndexProbe probe;
  probe.attach(fixture.database->sharedWalIndex());
  if (!probe.attached()) state.SkipWithError("no shared wal-index");
  probe.remember(probe.read());
  for (auto _ : state) benchmark::DoNotOptimize(probe.unchanged());
}
BENCHMARK(BM_StalenessCheckWalIndexHeader);

void BM_StalenessCheckDataVersionQuery(benchmark::State& state) {
  OpenDatabase fixture;
  for (auto _ : state) benchmark::DoNotOptimize(fixture.database->dataVersion());
}
BENCHMARK(BM_StalenessCheckDataVersionQuery);

// The SDK's own store, "qiv_default" of the installed Linux platform, with
// the given number of cookies.
class InstalledStore {
 public:
  explicit InstalledStore(int entries) {
    install(makeLinuxPlatform({.dataDirectory = dir_.path(), .clock = nullptr}));
    suite_ = Util::qivDefaults();
    suite_->transaction([&] {
      for (int i = 0; i < entries; ++i) suite_->set(keyFor(i), "123456:7 1700000000");
    });
    suite_->object(keyFor(0));  // settle the staleness check after the commit
  }
  ~InstalledStore() {
    suite_.reset();
    install(nullptr);
  }
  UserDefaultsSuite& suite() { return *suite_; }

 private:
  ScratchDirectory dir_;
  std::shared_ptr<UserDefaultsSuite> suite_;
};

// The SDK's read of one cookie, the cross-process check included.
void BM_StoreRead(benchmark::State& state) {
  InstalledStore store(100);
  const std::string key = keyFor(50);
  for (auto _ : state) benchmark::DoNotOptimize(Util::getCookieToQIVDefaults(key, ""));
}
BENCHMARK(BM_StoreRead);

void BM_SuiteRead(benchmark::State& state) {
  InstalledStore store(100);
  const std::string key = keyFor(50);
  for (auto _ : state) benchmark::DoNotOptimize(store.suite().object(key));
}
BENCHMARK(BM_SuiteRead);

// Visits every entry, reading key and value as the map-scan baseline does.
void BM_StoreEnumerate(benchmark::State& state) {
  InstalledStore store(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::size_t sum = 0;
    store.suite().forEachEntry("", [&](std::string_view key, const Value& value) {
      if (!value.is_string()) return;
      const auto& text = value.get_ref<const std::string&>();
      sum += key.size() + text.size() + static_cast<unsigned char>(key.back()) +
             static_cast<unsigned char>(text.back());
    });
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_StoreEnumerate)->Arg(200)->Arg(5000);

}  // namespace
}  // namespace tavrino::platform
