#pragma once

// Shared by the user-defaults tests: a raw connection to a suite's file, the
// second-process helper, and a fixture over a fresh data directory.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "desktop_session/temp_dir.hpp"
#include "platform/sqlite_user_defaults.hpp"
#include "support/sdk_test.hpp"

namespace tavrino::testing {

inline std::filesystem::path suiteFile(const std::filesystem::path& directory,
                                       std::string_view name) {
  return directory / (std::string(name) + ".defaults.sqlite");
}

// A connection of its own to a suite's file, for doing what the suite never
// does. Throws when SQLite fails, which fails the test.
class RawSuiteFile {
 public:
  explicit RawSuiteFile(const std::filesystem::path& file, bool create = false);
  ~RawSuiteFile();
  RawSuiteFile(const RawSuiteFile&) = delete;
  RawSuiteFile& operator=(const RawSuiteFile&) = delete;

  void exec(const std::string& sql);
  void insertRaw(std::string_view key, const std::vector<unsigned char>& value);
  // The first column of the first row sql returns, as text.
  std::string text(const std::string& sql);
  // Every entry, its value still encoded.
  std::map<std::string, std::vector<unsigned char>> entries();

 private:
  sqlite3* db_ = nullptr;
};

// Runs the store writer on directory and suite with the given arguments, all
// started together (each waits until every one has been spawned). Returns
// their exit codes.
std::vector<int> runStoreWriters(const std::filesystem::path& directory, std::string_view suite,
                                 const std::vector<std::vector<std::string>>& commands);

inline int runStoreWriter(const std::filesystem::path& directory, std::string_view suite,
                          const std::vector<std::string>& command) {
  return runStoreWriters(directory, suite, {command}).front();
}
// The same with the arguments given as words: "set key value".
int runStoreWriter(const std::filesystem::path& directory, std::string_view suite,
                   std::string_view words);

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
