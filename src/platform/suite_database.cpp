#include "platform/suite_database.hpp"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <thread>
#include <utility>

namespace tavrino::platform {

// A prepared statement that is reset and unbound after every use, so that no
// binding outlives the data it points to.
class SuiteDatabase::Statement {
 public:
  explicit Statement(sqlite3_stmt* stmt) : stmt_(stmt) {}
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  sqlite3_stmt* get() const { return stmt_; }

  int bindBytes(int index, const void* data, std::size_t size) {
    // A null pointer would bind NULL; the empty key is a zero-length blob.
    if (size == 0) return sqlite3_bind_zeroblob(stmt_, index, 0);
    return sqlite3_bind_blob64(stmt_, index, data, size, SQLITE_STATIC);
  }

  int step() { return sqlite3_step(stmt_); }

  void finish() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }

 private:
  sqlite3_stmt* stmt_;
};

namespace {

std::span<const std::uint8_t> columnBytes(sqlite3_stmt* stmt, int column) {
  const void* data = sqlite3_column_blob(stmt, column);
  const int size = sqlite3_column_bytes(stmt, column);
  if (data == nullptr || size <= 0) return {};
  return {static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(size)};
}

}  // namespace

SuiteDatabase::SuiteDatabase(sqlite3* db, std::filesystem::path path)
    : db_(db), path_(std::move(path)) {}

SuiteDatabase::~SuiteDatabase() {
  // Statements first: a connection with live statements does not close.
  begin_.reset();
  beginImmediate_.reset();
  commit_.reset();
  rollback_.reset();
  put_.reset();
  erase_.reset();
  selectAll_.reset();
  dataVersion_.reset();
  selectOne_.reset();
  lastChange_.reset();
  changesFrom_.reset();
  sqlite3_close(db_);
}

std::unique_ptr<SuiteDatabase> SuiteDatabase::open(const std::filesystem::path& path,
                                                   std::string* error) {
  // Only the user reads the store: SQLite would create the file readable by
  // all, and gives its journal files the file's mode. What cannot be opened
  // here is left for SQLite to refuse with its own error.
  if (const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
      fd >= 0) {
    struct stat info {};
    if (::fstat(fd, &info) == 0 && (info.st_mode & 077) != 0) ::fchmod(fd, 0600);
    ::close(fd);
  }
  sqlite3* raw = nullptr;
  const int flags =
      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  std::unique_ptr<SuiteDatabase> db(new SuiteDatabase(raw, path));
  if (rc != SQLITE_OK) {
    db->fail(rc);
    *error = db->error_;
    return nullptr;
  }
  if (!db->configure() || !db->prepareAll()) {
    *error = db->error_;
    return nullptr;
  }
  // Taken after SQLite opened it without following links: the file it uses.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    *error = path.string() + ": " + std::strerror(errno);
    return nullptr;
  }
  db->device_ = info.st_dev;
  db->inode_ = info.st_ino;
  return db;
}

namespace {

using ExecCallback = int (*)(void*, int, char**, char**);

// Runs sql, retrying while another connection holds a lock. Switching a new
// file to WAL fails at once, busy handler or not, when another connection is
// doing the same; giving up would refuse the suite for nothing.
int execPatiently(sqlite3* db, const char* sql, ExecCallback callback = nullptr,
                  void* context = nullptr) {
  const auto deadline = std::chrono::steady_clock::now() + SuiteDatabase::kBusyTimeout;
  for (;;) {
    const int rc = sqlite3_exec(db, sql, callback, context, nullptr);
    if ((rc & 0xFF) != SQLITE_BUSY || std::chrono::steady_clock::now() >= deadline) return rc;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace

// The change log. Numbers are rowids, so each is one more than the newest
// in the table; the trim keeps the newest row, so numbers never repeat. It
// runs once per 256 numbers, keeping the log between kChangeLogLength and
// kChangeLogLength + 256 rows. A replacing insert logs once (its implicit
// delete fires no trigger). Made in a savepoint: a failure part way leaves
// no table without its triggers, which would name too little.
constexpr const char* kChangeLogSchema =
    "SAVEPOINT change_log;"
    "CREATE TABLE IF NOT EXISTS changes(seq INTEGER PRIMARY KEY, key BLOB NOT NULL);"
    "CREATE TRIGGER IF NOT EXISTS changes_insert AFTER INSERT ON entries BEGIN "
    "INSERT INTO changes(key) VALUES(new.key); END;"
    "CREATE TRIGGER IF NOT EXISTS changes_update AFTER UPDATE ON entries BEGIN "
    "INSERT INTO changes(key) VALUES(old.key); "
    "INSERT INTO changes(key) SELECT new.key WHERE new.key IS NOT old.key; END;"
    "CREATE TRIGGER IF NOT EXISTS changes_delete AFTER DELETE ON entries BEGIN "
    "INSERT INTO changes(key) VALUES(old.key); END;"
    "CREATE TRIGGER IF NOT EXISTS changes_trim AFTER INSERT ON changes "
    "WHEN new.seq % 256 = 0 BEGIN "
    "DELETE FROM changes WHERE seq <= new.seq - 4096; END;"
    "RELEASE change_log;";
static_assert(SuiteDatabase::kChangeLogLength == 4096, "the trim trigger keeps this many");

bool SuiteDatabase::configure() {
  sqlite3_extended_result_codes(db_, 1);
  // SQLite's own handler backs off to 100 ms sleeps, so a process that
  // writes in a tight loop can starve another for seconds; short, even sleeps
  // give the other process a fair chance at each gap between transactions.
  sqlite3_busy_handler(
      db_,
      [](void* context, int attempt) -> int {
        auto& waitStart = static_cast<SuiteDatabase*>(context)->busySince_;
        const auto now = std::chrono::steady_clock::now();
        if (attempt == 0) waitStart = now;
        if (now - waitStart >= kBusyTimeout) return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return 1;
      },
      this);
  // Reading the schema first refuses a file that is not a database before
  // anything could be written to it.
  int rc = execPatiently(db_, "SELECT count(*) FROM sqlite_master");
  if (rc != SQLITE_OK) return fail(rc);
  if (sqlite3_db_readonly(db_, "main") != 0) {
    error_ = "the file is read-only";
    return false;
  }
  // Without WAL (a file system without shared memory) everything still
  // works, only the staleness check is slower.
  auto readMode = [](void* wal, int columns, char** values, char**) {
    *static_cast<bool*>(wal) =
        columns == 1 && values[0] != nullptr && std::string_view(values[0]) == "wal";
    return 0;
  };
  rc = execPatiently(db_, "PRAGMA journal_mode=WAL", readMode, &walMode_);
  if (rc != SQLITE_OK) return fail(rc);
  rc = execPatiently(db_,
                     "PRAGMA synchronous=NORMAL;"
                     "CREATE TABLE IF NOT EXISTS entries("
                     "key BLOB PRIMARY KEY NOT NULL, value BLOB NOT NULL) WITHOUT ROWID");
  if (rc != SQLITE_OK) return fail(rc);
  return true;
}

bool SuiteDatabase::startChangeLog() {
  const int rc = sqlite3_exec(db_, kChangeLogSchema, nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) return true;
  fail(rc);
  // SQLite may have rolled back the whole transaction, savepoint included.
  if (inTransaction()) {
    sqlite3_exec(db_, "ROLLBACK TO change_log; RELEASE change_log", nullptr, nullptr, nullptr);
  }
  return false;
}

bool SuiteDatabase::prepare(const char* sql, std::unique_ptr<Statement>* out) {
  sqlite3_stmt* stmt = nullptr;
  const int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
  if (rc != SQLITE_OK) return fail(rc);
  *out = std::make_unique<Statement>(stmt);
  return true;
}

bool SuiteDatabase::prepareAll() {
  // The change log's statements wait until it is there (lastChange()).
  return prepare("BEGIN", &begin_) && prepare("BEGIN IMMEDIATE", &beginImmediate_) &&
         prepare("COMMIT", &commit_) && prepare("ROLLBACK", &rollback_) &&
         prepare("INSERT OR REPLACE INTO entries(key, value) VALUES(?1, ?2)", &put_) &&
         prepare("DELETE FROM entries WHERE key = ?1", &erase_) &&
         prepare("SELECT key, value FROM entries", &selectAll_) &&
         prepare("PRAGMA data_version", &dataVersion_) &&
         prepare("SELECT value FROM entries WHERE key = ?1", &selectOne_);
}

bool SuiteDatabase::fail(int rc) {
  error_ = sqlite3_errstr(rc);
  if (db_ != nullptr) {
    const std::string detail = sqlite3_errmsg(db_);
    if (detail != error_) error_ += ": " + detail;
  }
  return false;
}

bool SuiteDatabase::run(Statement& statement) {
  const int rc = statement.step();
  statement.finish();
  return rc == SQLITE_DONE || rc == SQLITE_ROW || fail(rc);
}

bool SuiteDatabase::begin() {
  return run(*begin_);
}

bool SuiteDatabase::beginImmediate() {
  if (!run(*beginImmediate_)) return false;
  // Checked once the lock is held: the wait for it may be long.
  if (stillAtPath()) return true;
  run(*rollback_);
  return false;
}

bool SuiteDatabase::stillAtPath() {
  struct stat info {};
  if (::stat(path_.c_str(), &info) != 0) {
    error_ = "the store file is gone: " + std::string(std::strerror(errno));
    return false;
  }
  if (static_cast<std::uint64_t>(info.st_dev) != device_ ||
      static_cast<std::uint64_t>(info.st_ino) != inode_) {
    error_ = "the store file was replaced by another file";
    return false;
  }
  return true;
}

bool SuiteDatabase::commit() {
  return run(*commit_);
}

void SuiteDatabase::rollback() {
  if (inTransaction()) run(*rollback_);
}

bool SuiteDatabase::inTransaction() const {
  return sqlite3_get_autocommit(db_) == 0;
}

bool SuiteDatabase::put(std::string_view key, std::span<const std::uint8_t> value) {
  int rc = put_->bindBytes(1, key.data(), key.size());
  if (rc == SQLITE_OK) rc = put_->bindBytes(2, value.data(), value.size());
  if (rc != SQLITE_OK) {
    put_->finish();
    return fail(rc);
  }
  return run(*put_);
}

bool SuiteDatabase::erase(std::string_view key) {
  const int rc = erase_->bindBytes(1, key.data(), key.size());
  if (rc != SQLITE_OK) {
    erase_->finish();
    return fail(rc);
  }
  return run(*erase_);
}

bool SuiteDatabase::get(std::string_view key,
                        const std::function<void(std::span<const std::uint8_t>)>& found) {
  int rc = selectOne_->bindBytes(1, key.data(), key.size());
  if (rc == SQLITE_OK) {
    rc = selectOne_->step();
    if (rc == SQLITE_ROW) found(columnBytes(selectOne_->get(), 0));
  }
  selectOne_->finish();
  return rc == SQLITE_ROW || rc == SQLITE_DONE || fail(rc);
}

std::optional<std::int64_t> SuiteDatabase::lastChange() {
  if (!lastChange_ && !prepare("SELECT max(seq) FROM changes", &lastChange_)) return std::nullopt;
  const int rc = lastChange_->step();
  std::optional<std::int64_t> last;
  if (rc == SQLITE_ROW) last = sqlite3_column_int64(lastChange_->get(), 0);  // NULL reads as 0
  lastChange_->finish();
  if (!last) fail(rc);
  return last;
}

bool SuiteDatabase::forEachChangeFrom(std::int64_t from, const ChangeVisitor& fn) {
  if (!changesFrom_ &&
      !prepare("SELECT seq, key FROM changes WHERE seq >= ?1 ORDER BY seq", &changesFrom_)) {
    return false;
  }
  int rc = sqlite3_bind_int64(changesFrom_->get(), 1, from);
  sqlite3_stmt* stmt = changesFrom_->get();
  while (rc == SQLITE_OK || rc == SQLITE_ROW) {
    rc = changesFrom_->step();
    if (rc != SQLITE_ROW) break;
    const std::span<const std::uint8_t> key = columnBytes(stmt, 1);
    if (!fn(sqlite3_column_int64(stmt, 0),
            std::string_view(reinterpret_cast<const char*>(key.data()), key.size()))) {
      break;
    }
  }
  changesFrom_->finish();
  return rc == SQLITE_DONE || rc == SQLITE_ROW || fail(rc);
}

bool SuiteDatabase::forEachRow(const RowVisitor& fn) {
  sqlite3_stmt* stmt = selectAll_->get();
  int rc;
  while ((rc = selectAll_->step()) == SQLITE_ROW) {
    const std::span<const std::uint8_t> key = columnBytes(stmt, 0);
    fn(std::string_view(reinterpret_cast<const char*>(key.data()), key.size()),
       columnBytes(stmt, 1));
  }
  selectAll_->finish();
  return rc == SQLITE_DONE || fail(rc);
}

std::optional<std::int64_t> SuiteDatabase::dataVersion() {
  const int rc = dataVersion_->step();
  std::optional<std::int64_t> version;
  if (rc == SQLITE_ROW) version = sqlite3_column_int64(dataVersion_->get(), 0);
  dataVersion_->finish();
  if (!version) fail(rc);
  return version;
}

const void* SuiteDatabase::sharedWalIndex() {
  if (!walMode_) return nullptr;
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
      file == nullptr || file->pMethods == nullptr || file->pMethods->iVersion < 2 ||
      file->pMethods->xShmMap == nullptr) {
    return nullptr;
  }
  // 32 KiB is the wal-index page size. Without bExtend the call never grows
  // the file; by now the connection has mapped the region for its own reads.
  constexpr int kWalIndexPageSize = 32768;
  volatile void* region = nullptr;
  if (file->pMethods->xShmMap(file, 0, kWalIndexPageSize, 0, &region) != SQLITE_OK) return nullptr;
  return const_cast<const void*>(region);
}

}  // namespace tavrino::platform
