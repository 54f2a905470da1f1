#include "platform/sqlite_user_defaults.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>

#include "platform/sqlite_suite.hpp"
#include "platform/suite_database.hpp"

namespace tavrino::platform {
namespace {

constexpr std::string_view kSuiteFileSuffix = ".defaults.sqlite";

// Returns true iff name can become a file name inside the directory and
// nothing else: no separators, no NUL, no hidden or relative names.
bool acceptableSuiteName(std::string_view name) {
  return !name.empty() && name.front() != '.' &&
         name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

// Creates directory and its missing parents with mode 0700. Returns false and
// sets *error iff it does not exist as a directory afterwards.
bool ensureDirectory(const std::filesystem::path& directory, std::string* error) {
  std::filesystem::path partial;
  for (const std::filesystem::path& part : directory) {
    partial /= part;
    std::error_code ec;
    if (std::filesystem::is_directory(partial, ec)) continue;
    if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = partial.string() + ": " + std::strerror(errno);
      return false;
    }
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(directory, ec)) {
    *error = directory.string() + ": not a directory";
    return false;
  }
  return true;
}

// Whether directory is safe to keep the stores in. Another user who owns it,
// or may write in it, could read or replace the files; a link could be
// turned elsewhere. Sets *error iff not.
bool privateDirectory(const std::filesystem::path& directory, std::string* error) {
  struct stat info {};
  if (::lstat(directory.c_str(), &info) != 0) {
    *error = directory.string() + ": " + std::strerror(errno);
  } else if (S_ISLNK(info.st_mode)) {
    *error = directory.string() + " is a symbolic link";
  } else if (info.st_uid != ::geteuid()) {
    *error = directory.string() + " belongs to another user";
  } else if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    *error = directory.string() + " is writable by group or others";
  } else {
    return true;
  }
  return false;
}

class SqliteUserDefaults final : public UserDefaults {
 public:
  SqliteUserDefaults(std::filesystem::path directory, Log& log)
      : directory_(std::move(directory)), log_(log) {}

  std::shared_ptr<UserDefaultsSuite> suite(std::string_view name) override {
    std::lock_guard lock(mu_);
    auto it = suites_.find(name);
    if (it != suites_.end()) return it->second;
    std::shared_ptr<UserDefaultsSuite> opened =
        std::make_shared<SqliteSuite>(std::string(name), openDatabase(name), log_);
    suites_.emplace(std::string(name), opened);
    return opened;
  }

  UserDefaultsSuite& borrowSuite(std::string_view name) override {
    // Suites are never closed while this object lives, so the last one
    // borrowed can be handed out again without the lock.
    UserDefaultsSuite* last = lastBorrowed_.load(std::memory_order_acquire);
    if (last != nullptr && last->name() == name) return *last;
    std::shared_ptr<UserDefaultsSuite> opened = suite(name);
    lastBorrowed_.store(opened.get(), std::memory_order_release);
    return *opened;
  }

 private:
  // Returns the suite's database, or null (with a log line) when the suite
  // must live in memory only.
  std::unique_ptr<SuiteDatabase> openDatabase(std::string_view name) {
    std::string shown = "\"";
    shown.append(printableForLog(name)).append("\"");
    if (!acceptableSuiteName(name)) {
      log_.log("user defaults: refused suite name " + shown + ", keeping it in memory only");
      return nullptr;
    }
    if (directory_.empty()) {
      log_.log(
          "user defaults: no data directory (no absolute TAVRINO_DATA_DIR, "
          "XDG_DATA_HOME or HOME), keeping suite " +
          shown + " in memory only");
      return nullptr;
    }
    std::string error;
    if (!ensureDirectory(directory_, &error)) {
      log_.log("user defaults: cannot create the data directory " + error + ", keeping suite " +
               shown + " in memory only");
      return nullptr;
    }
    if (!privateDirectory(directory_, &error)) {
      log_.log("user defaults: cannot open suite " + shown + ": the data directory " +
               printableForLog(error, 4096) + ", keeping it in memory only");
      return nullptr;
    }
    // The file itself is opened without following links, so that nothing
    // planted under the suite's name can send writes elsewhere; the
    // directory's parents are the host's choice and may be links.
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::canonical(directory_, ec);
    const std::filesystem::path path =
        (ec ? directory_ : resolved) / (std::string(name) + std::string(kSuiteFileSuffix));
    std::unique_ptr<SuiteDatabase> database = SuiteDatabase::open(path, &error);
    if (!database) {
      log_.log("user defaults: cannot open suite " + shown + " at " +
               printableForLog(path.string(), 4096) + ": " + error + ", keeping it in memory only");
    }
    return database;
  }

  const std::filesystem::path directory_;
  Log& log_;
  std::mutex mu_;
  std::map<std::string, std::shared_ptr<UserDefaultsSuite>, std::less<>> suites_;
  std::atomic<UserDefaultsSuite*> lastBorrowed_{nullptr};
};

}  // namespace

std::unique_ptr<UserDefaults> makeSqliteUserDefaults(std::filesystem::path directory, Log& log) {
  return std::make_unique<SqliteUserDefaults>(std::move(directory), log);
}

}  // namespace tavrino::platform
