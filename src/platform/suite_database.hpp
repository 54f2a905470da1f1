#pragma once

// SuiteDatabase: the SQLite file behind one user-defaults suite, a table of
// (key BLOB, value BLOB) in WAL mode. It knows SQL and nothing of values or
// caching; the suite decides when to read and write.
//
// Beside the entries a file may hold a change log (startChangeLog()) that
// records the key of every row inserted, replaced, updated or deleted,
// numbered in commit order (1, 2, 3, ...), so that a reader that has seen up
// to some number can re-read only the keys changed since. Triggers write it,
// so every writer keeps it, an earlier version of the SDK included (it only
// knows the entries table, which keeps its layout). The log keeps at least
// the last kChangeLogLength numbers and never loses the newest. Reading a
// file without the log fails.
//
// Failures return false (or nothing); error() then describes the last one.
//
// Thread-safety: none. The connection is opened without SQLite's own mutex;
// the owner serialises every call.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace tavrino::platform {

class SuiteDatabase {
 public:
  // How long a statement waits for another connection's lock before failing.
  static constexpr std::chrono::milliseconds kBusyTimeout{30000};

  // Opens the database at path, creating it when missing. Returns null and
  // sets *error iff it cannot be opened for writing or is not a suite
  // database; such a file is left exactly as it was.
  static std::unique_ptr<SuiteDatabase> open(const std::filesystem::path& path, std::string* error);

  ~SuiteDatabase();
  SuiteDatabase(const SuiteDatabase&) = delete;
  SuiteDatabase& operator=(const SuiteDatabase&) = delete;

  // A read transaction (deferred) or a write transaction (immediate: takes
  // the write lock at once, waiting up to kBusyTimeout). A write transaction
  // fails when the file at the path is no longer the one opened (replaced or
  // removed): writes would land in a file nobody opens again.
  bool begin();
  bool beginImmediate();
  bool commit();
  // Rolls back the open transaction, if any. Never fails.
  void rollback();
  bool inTransaction() const;

  bool put(std::string_view key, std::span<const std::uint8_t> value);
  bool erase(std::string_view key);

  // Calls found with the value stored under key, if any. Returns false iff
  // reading failed.
  bool get(std::string_view key, const std::function<void(std::span<const std::uint8_t>)>& found);

  // Creates the change log unless the file has it. REQUIRES: a write
  // transaction is open. On failure nothing of the log is left, and the
  // transaction may have ended (SQLite ends it after some failures).
  bool startChangeLog();

  // The change log's newest number, 0 when empty.
  static constexpr std::int64_t kChangeLogLength = 4096;
  std::optional<std::int64_t> lastChange();

  // Calls fn with every logged change numbered from on, in order, until fn
  // returns false. Returns false iff reading failed.
  using ChangeVisitor = std::function<bool(std::int64_t number, std::string_view key)>;
  bool forEachChangeFrom(std::int64_t from, const ChangeVisitor& fn);

  // Calls fn with every row. Returns false iff reading failed.
  using RowVisitor = std::function<void(std::string_view key, std::span<const std::uint8_t> value)>;
  bool forEachRow(const RowVisitor& fn);

  // Returns a number that changes iff another connection committed since the
  // last call (the connection's own commits leave it alone). Starts a read
  // transaction when none is open.
  std::optional<std::int64_t> dataVersion();

  // Returns the first region of the shared wal-index, mapped for the life of
  // the connection; null when the database is not in WAL mode or the region
  // is not mapped yet (it is after the first read).
  const void* sharedWalIndex();

  const std::string& error() const { return error_; }

 private:
  std::chrono::steady_clock::time_point busySince_;  // start of the current wait for a lock
  class Statement;

  SuiteDatabase(sqlite3* db, std::filesystem::path path);
  // Returns true iff the path still names the file opened; sets error_ if not.
  bool stillAtPath();
  bool configure();
  bool prepareAll();
  bool prepare(const char* sql, std::unique_ptr<Statement>* out);
  bool fail(int rc);
  bool run(Statement& statement);

  sqlite3* db_;
  const std::filesystem::path path_;
  // The opened file's identity: device and inode.
  std::uint64_t device_ = 0, inode_ = 0;
  bool walMode_ = false;
  std::string error_;
  std::unique_ptr<Statement> begin_, beginImmediate_, commit_, rollback_, put_, erase_, selectAll_,
      dataVersion_, selectOne_, lastChange_, changesFrom_;
};

}  // namespace tavrino::platform
