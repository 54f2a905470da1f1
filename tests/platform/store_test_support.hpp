#pragma once

// Shared by the store tests: a raw connection to a suite's file, the
// second-process writer, and a fixture over a fresh data directory.

#include <sqlite3.h>

#include <map>
#include <sstream>
#include <stdexcept>

#include "core/value_cbor.hpp"
#include "desktop_session/helper_process.hpp"
#include "platform/sqlite_user_defaults.hpp"
#include "support/sdk_test.hpp"

namespace tavrino::testing {

using Entries = std::vector<std::pair<std::string, Value>>;

inline std::filesystem::path suiteFile(const std::filesystem::path& directory,
                                       std::string_view name) {
  return directory / (std::string(name) + ".defaults.sqlite");
}

inline std::vector<unsigned char> encoded(const Value& value) {
  const auto bytes = encodeValue(value);
  return {bytes->begin(), bytes->end()};
}

// A connection of its own to a suite's file, for doing what the suite never
// does. Throws when SQLite fails, which fails the test.
class RawSuiteFile {
 public:
  explicit RawSuiteFile(const std::filesystem::path& file, bool create = false) {
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(file.c_str(), &db_, flags, nullptr) != SQLITE_OK) fail(file);
    sqlite3_busy_timeout(db_, 5000);
  }
  ~RawSuiteFile() { sqlite3_close(db_); }
  RawSuiteFile(const RawSuiteFile&) = delete;
  RawSuiteFile& operator=(const RawSuiteFile&) = delete;

  void exec(const std::string& sql) { rows(sql); }
  void insertRaw(std::string_view key, const std::vector<unsigned char>& value) {
    rows("INSERT OR REPLACE INTO entries(key, value) VALUES(?1, ?2)", key,
         std::string_view(reinterpret_cast<const char*>(value.data()), value.size()));
  }
  void insert(std::string_view key, const Value& value) { insertRaw(key, encoded(value)); }
  // The first column of the first row sql returns.
  std::string text(const std::string& sql) { return rows(sql).at(0).at(0); }
  // Every entry, its value decoded.
  std::map<std::string, Value> entries() {
    std::map<std::string, Value> result;
    for (const auto& row : rows("SELECT key, value FROM entries"))
      result[row[0]] = *decodeValue(std::vector<unsigned char>(row[1].begin(), row[1].end()));
    return result;
  }

 private:
  // Runs each statement of sql, the first with the given blobs bound; returns
  // the last one's rows.
  template <class... Blobs>
  std::vector<std::vector<std::string>> rows(std::string sql, Blobs... blobs) {
    std::vector<std::vector<std::string>> result;
    for (const char* rest = sql.c_str(); *rest != '\0';) {
      sqlite3_stmt* stmt = nullptr;
      if (sqlite3_prepare_v2(db_, rest, -1, &stmt, &rest) != SQLITE_OK) fail(sql);
      if (stmt == nullptr) break;
      int at = 0;
      ((sqlite3_bind_blob(stmt, ++at, blobs.data(), int(blobs.size()), SQLITE_TRANSIENT)), ...);
      result.clear();
      int rc;
      while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        auto& row = result.emplace_back();
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
          const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt, i));
          row.emplace_back(bytes ? bytes : "", sqlite3_column_bytes(stmt, i));
        }
      }
      sqlite3_finalize(stmt);
      if (rc != SQLITE_DONE) fail(sql);
    }
    return result;
  }
  [[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what + ": " + sqlite3_errmsg(db_));
  }
  sqlite3* db_ = nullptr;
};

// Runs the store writer (store_writer_main.cpp) on directory and suite once
// per command ("set key value"), all let go together. Returns their exit codes.
inline std::vector<int> runStoreWriters(const std::filesystem::path& directory,
                                        std::string_view suite,
                                        const std::vector<std::string>& commands) {
  std::vector<std::unique_ptr<HelperProcess>> writers;
  for (const std::string& command : commands) {
    std::vector<std::string> args{directory.string(), std::string(suite)};
    std::istringstream in(command);
    for (std::string word; in >> word;) args.push_back(word);
    writers.push_back(std::make_unique<HelperProcess>(TAVRINO_STORE_WRITER_PATH, args, true));
  }
  for (auto& writer : writers) writer->release();
  std::vector<int> codes;
  for (auto& writer : writers) codes.push_back(writer->wait());
  return codes;
}
inline int runStoreWriter(const std::filesystem::path& directory, std::string_view suite,
                          const std::string& command) {
  return runStoreWriters(directory, suite, {command}).front();
}

// The default suite over a fresh directory; each open() is what the next
// launch sees.
class SuiteTest : public ::testing::Test {
 protected:
  static constexpr std::string_view kSuite = "qiv_default";
  std::shared_ptr<platform::UserDefaultsSuite> open() {
    defaults_ = platform::makeSqliteUserDefaults(dir_.path(), log_);
    return defaults_->suite(kSuite);
  }
  std::filesystem::path file() const { return suiteFile(dir_.path(), kSuite); }

  TempDir dir_;
  CapturingLog log_;
  std::unique_ptr<platform::UserDefaults> defaults_;
};

}  // namespace tavrino::testing
