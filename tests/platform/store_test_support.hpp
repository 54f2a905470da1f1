#pragma once

// Shared by the user-defaults tests: a raw connection to a suite's file and
// the second-process helper. Logs are captured with support's CapturingLog.

#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

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

}  // namespace tavrino::testing
