#include "platform/store_test_support.hpp"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <stdexcept>

extern char** environ;

namespace tavrino::testing {

RawSuiteFile::RawSuiteFile(const std::filesystem::path& file, bool create) {
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
  if (sqlite3_open_v2(file.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    throw std::runtime_error("cannot open " + file.string());
  }
  sqlite3_busy_timeout(db_, 5000);
}

RawSuiteFile::~RawSuiteFile() {
  sqlite3_close(db_);
}

void RawSuiteFile::exec(const std::string& sql) {
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    throw std::runtime_error(sql + ": " + sqlite3_errmsg(db_));
  }
}

void RawSuiteFile::insertRaw(std::string_view key, const std::vector<unsigned char>& value) {
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db_, "INSERT OR REPLACE INTO entries(key, value) VALUES(?1, ?2)", -1, &stmt,
                     nullptr);
  sqlite3_bind_blob(stmt, 1, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
  sqlite3_bind_blob(stmt, 2, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
  const int rc = sqlite3_step(stmt);
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db_));
}

std::string RawSuiteFile::text(const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  std::string result;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW) {
    result = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
  } else {
    result = sqlite3_errmsg(db_);
  }
  sqlite3_finalize(stmt);
  return result;
}

std::map<std::string, std::vector<unsigned char>> RawSuiteFile::entries() {
  std::map<std::string, std::vector<unsigned char>> result;
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db_, "SELECT key, value FROM entries", -1, &stmt, nullptr);
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    const auto* key = static_cast<const char*>(sqlite3_column_blob(stmt, 0));
    const auto* value = static_cast<const unsigned char*>(sqlite3_column_blob(stmt, 1));
    result[std::string(key, key + sqlite3_column_bytes(stmt, 0))] =
        std::vector<unsigned char>(value, value + sqlite3_column_bytes(stmt, 1));
  }
  sqlite3_finalize(stmt);
  return result;
}

std::vector<int> runStoreWriters(const std::filesystem::path& directory, std::string_view suite,
                                 const std::vector<std::vector<std::string>>& commands) {
  // Every writer reads the pipe as its standard input; closing our end once
  // all are spawned releases them together.
  int gate[2];
  if (pipe(gate) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, gate[0], STDIN_FILENO);
  posix_spawn_file_actions_addclose(&actions, gate[0]);
  posix_spawn_file_actions_addclose(&actions, gate[1]);

  std::vector<pid_t> pids;
  for (const std::vector<std::string>& command : commands) {
    std::vector<std::string> args{TAVRINO_STORE_WRITER_PATH, directory.string(),
                                  std::string(suite)};
    args.insert(args.end(), command.begin(), command.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
      throw std::runtime_error("cannot start the store writer");
    }
    pids.push_back(pid);
  }
  posix_spawn_file_actions_destroy(&actions);
  close(gate[0]);
  close(gate[1]);

  std::vector<int> codes;
  for (pid_t pid : pids) {
    int status = 0;
    waitpid(pid, &status, 0);
    codes.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  }
  return codes;
}

int runStoreWriter(const std::filesystem::path& directory, std::string_view suite,
                   std::string_view words) {
  std::vector<std::string> command;
  std::istringstream in{std::string(words)};
  for (std::string word; in >> word;) command.push_back(word);
  return runStoreWriter(directory, suite, command);
}

}  // namespace tavrino::testing
