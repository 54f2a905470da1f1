// Baselines for the store's figures, timed in the same run: what a plain
// in-memory map costs for the same work, and what one SQLite commit costs on
// this disk. scripts/bench divides the store's figures by these.

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <unordered_map>

namespace {

// Shaped like the SDK's cookies: "qiv_" keys, "value expiry" texts.
std::string cookieKey(int i) {
  return "qiv_c_campaign_" + std::to_string(1000 + i);
}
std::string cookieValue(int i) {
  return std::to_string(123456 + i) + ":7 1700000000";
}

void BM_Baseline_UnorderedMapGet(benchmark::State& state) {
  std::unordered_map<std::string, std::string> map;
  for (int i = 0; i < 100; ++i) map.emplace(cookieKey(i), cookieValue(i));
  const std::string key = cookieKey(50);
  for (auto _ : state) {
    auto it = map.find(key);
    std::string copy = it == map.end() ? std::string() : it->second;
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_Baseline_UnorderedMapGet);

void BM_Baseline_UnorderedMapSet(benchmark::State& state) {
  std::unordered_map<std::string, std::string> map;
  for (int i = 0; i < 100; ++i) map.emplace(cookieKey(i), cookieValue(i));
  const std::string key = cookieKey(50);
  int i = 0;
  for (auto _ : state) {
    map.insert_or_assign(key, cookieValue(++i & 1023));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Baseline_UnorderedMapSet);

// Reads every key and value (their sizes and last bytes), as a request
// builder walking the store does.
void BM_Baseline_MapScan(benchmark::State& state) {
  std::map<std::string, std::string> map;
  for (int i = 0; i < state.range(0); ++i) map.emplace(cookieKey(i), cookieValue(i));
  for (auto _ : state) {
    std::size_t sum = 0;
    for (const auto& [key, value] : map) {
      sum += key.size() + value.size() + static_cast<unsigned char>(key.back()) +
             static_cast<unsigned char>(value.back());
    }
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_Baseline_MapScan)->Arg(200)->Arg(5000);

void check(int rc, sqlite3* db) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    throw std::runtime_error(sqlite3_errmsg(db));
  }
}

// One upsert of a new value, in its own transaction, in WAL mode with
// synchronous=NORMAL, on a table shaped like a suite's.
void BM_Baseline_SqliteCommit(benchmark::State& state) {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "tavrino-baseline-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  const std::filesystem::path dir = pattern;
  sqlite3* db = nullptr;
  check(sqlite3_open((dir / "baseline.sqlite").c_str(), &db), db);
  check(sqlite3_exec(db,
                     "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                     "CREATE TABLE entries(key BLOB PRIMARY KEY NOT NULL, value BLOB NOT NULL)"
                     " WITHOUT ROWID",
                     nullptr, nullptr, nullptr),
        db);
  sqlite3_stmt* begin = nullptr;
  sqlite3_stmt* upsert = nullptr;
  sqlite3_stmt* commit = nullptr;
  check(sqlite3_prepare_v2(db, "BEGIN IMMEDIATE", -1, &begin, nullptr), db);
  check(sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO entries(key, value) VALUES(?1, ?2)", -1,
                           &upsert, nullptr),
        db);
  check(sqlite3_prepare_v2(db, "COMMIT", -1, &commit, nullptr), db);
  const auto put = [&](const std::string& key, const std::string& value) {
    sqlite3_bind_blob(upsert, 1, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
    sqlite3_bind_blob(upsert, 2, value.data(), static_cast<int>(value.size()), SQLITE_STATIC);
    check(sqlite3_step(upsert), db);
    sqlite3_reset(upsert);
  };
  const auto run = [&](sqlite3_stmt* stmt) {
    check(sqlite3_step(stmt), db);
    sqlite3_reset(stmt);
  };
  run(begin);
  for (int i = 0; i < 100; ++i) put(cookieKey(i), cookieValue(i));
  run(commit);

  const std::string key = cookieKey(50);
  std::int64_t i = 0;
  for (auto _ : state) {
    // A new value every time: SQLite would skip rewriting an identical one.
    const std::string value = std::to_string(++i) + ":7 1700000000";
    run(begin);
    put(key, value);
    run(commit);
  }
  sqlite3_finalize(begin);
  sqlite3_finalize(upsert);
  sqlite3_finalize(commit);
  sqlite3_close(db);
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}
BENCHMARK(BM_Baseline_SqliteCommit);

}  // namespace
