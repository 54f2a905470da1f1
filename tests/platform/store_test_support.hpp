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

  // Runs each statement of sql; returns the first column of the last row
  // they gave, as text.
  std::string text(const std::string& sql) {
    std::string last;
    const auto keep = [](void* out, int, char** values, char**) {
      *static_cast<std::string*>(out) = values[0] ? values[0] : "";
      return 0;
    };
    if (sqlite3_exec(db_, sql.c_str(), keep, &last, nullptr) != SQLITE_OK) fail(sql);
    return last;
  }
  void exec(const std::string& sql) { text(sql); }
  void insertRaw(std::string_view key, const std::vector<unsigned char>& value) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db_, "INSERT OR REPLACE INTO entries(key, value) VALUES(?1, ?2)", -1, &stmt,
                       nullptr);
    sqlite3_bind_blob(stmt, 1, key.data(), int(key.size()), SQLITE_TRANSIENT);
    sqlite3_bind_blob(stmt, 2, value.data(), int(value.size()), SQLITE_TRANSIENT);
    const int done = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    if (done != SQLITE_DONE) fail("insert");
  }
  void insert(std::string_view key, const Value& value) {
    const auto bytes = encodeValue(value);
    insertRaw(key, {bytes->begin(), bytes->end()});
  }

 private:
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
