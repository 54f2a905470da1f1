#pragma once

// SqliteSuite: a user-defaults suite served from an in-memory copy of its
// entries and, when it has a database, backed by it.
//
// Reads are served from the copy of the last committed entries. A
// transaction collects its writes apart (in the database's open transaction
// and in a pending overlay that only its own thread reads) and folds them
// into the copy once they have committed, so the copy never holds what the
// disk does not, and a reader never sees half a transaction.
//
// Before a read outside a transaction and at the start of every transaction
// the copy is checked against the database and reloaded when another
// connection has committed. When nobody wrote, the check is a compare of the
// shared wal-index header with the one last seen, without any lock. A reader
// never waits for a writer of this process, which may itself be waiting up
// to the busy time-out for another process's write lock: while a writer
// holds the connection, reads skip the rest of the check and serve the copy
// as it is. Only writers wait for writers.
//
// Taking in another connection's commits costs what they changed when the
// file has a change log: it names the keys written since the last number
// this suite has seen, and only those are read again. A log that no longer
// reaches back that far, or is missing, makes the suite read everything.
// The log costs every commit a page, so a file gets it only once it is seen
// to be shared: a suite that takes in another's commit and finds no log
// starts one in its next write transaction (reads never take the write lock
// for it). A file only this suite writes never has one.
// The suite's own commits tell it the header they leave in the wal-index,
// so they do not count as another's change.
//
// The keys behind each recent change of changeCount() are kept (a bounded
// history), so that a user of the suite can take in what changed since a
// count it holds (forEachChangeSince()).
//
// Point reads go through a hash index beside the ordered copy; prefix
// visits walk the ordered copy.
//
// Without a database the suite lives in memory only: the platform's answer to
// a refused name or file.
//
// Thread-safety: every method may be called from any thread. A recursive
// mutex serialises writers and guards the connection (a transaction holds it
// from begin to end); a shared mutex guards the committed copy, held
// exclusively only to swap in a reload or fold in a commit.

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/suite_database.hpp"
#include "platform/suite_key_index.hpp"
#include "platform/wal_index_probe.hpp"
#include "tavrino/platform/log.hpp"
#include "tavrino/platform/suite_changes.hpp"
#include "tavrino/platform/user_defaults.hpp"

namespace tavrino::platform {

class SqliteSuite final : public UserDefaultsSuite, public SuiteChanges {
 public:
  // database may be null: the suite then lives in memory only.
  // REQUIRES: log outlives the suite.
  SqliteSuite(std::string name, std::unique_ptr<SuiteDatabase> database, Log& log);
  ~SqliteSuite() override;

  const std::string& name() const override { return name_; }
  std::optional<Value> object(std::string_view key) override;
  std::optional<std::string> string(std::string_view key) override;
  void set(std::string_view key, const Value& value) override;
  void remove(std::string_view key) override;
  std::vector<std::pair<std::string, Value>> dictionaryRepresentation() override;
  std::uint64_t forEachEntry(
      std::string_view prefix,
      const std::function<void(std::string_view key, const Value& value)>& visit) override;
  std::uint64_t forEachEntryIn(
      std::span<const std::string_view> prefixes,
      const std::function<void(std::string_view key, const Value& value)>& visit) override;
  std::uint64_t changeCount() override;
  std::optional<std::uint64_t> forEachChangeSince(
      std::uint64_t since, std::string_view prefix,
      const std::function<void(std::string_view key, const Value* value)>& visit) override;
  bool transaction(const std::function<void()>& body) override;
  bool isPersistent() const override { return database_ != nullptr; }

 private:
  using Entries = std::map<std::string, Value, std::less<>>;
  // Points into the nodes of an Entries, which never move.
  using Index = SuiteKeyIndex;
  // Writes of the open transaction: the new value, or nothing for a removal.
  using Pending = std::map<std::string, std::optional<Value>, std::less<>>;

  // Returns true iff the calling thread runs the open transaction.
  bool inOwnTransaction() const;
  // Calls take with the value the caller sees under key (null when absent)
  // and returns what it returns.
  template <class Take>
  auto read(std::string_view key, const Take& take);
  // Refreshes the copy unless a writer holds the connection.
  void refreshUnlessBusy();

  // Each of these REQUIRES mu_ held.
  bool refreshIfStale();
  bool reload();
  // Takes in the logged changes since logged_; false when it cannot tell
  // them (then only a reload is exact).
  bool catchUp();
  // Ends a refresh's read (its own transaction, if it opened one) and reports
  // values it skipped; false when the read failed.
  bool endRefreshRead(bool ownTransaction, bool ok, std::size_t skipped);
  // Returns the header the outermost transaction's commit left in the
  // wal-index, when nobody else can have committed since before.
  std::optional<WalIndexProbe::Snapshot> ownCommitHeader(const WalIndexProbe::Snapshot& before);
  // Begins a write transaction on a copy brought up to date.
  bool beginWriting();
  // Starts the change log in the open write transaction, before its writes.
  // Returns false when it cannot (said once), which may end the transaction.
  bool startLog();
  bool beginOutermost();
  bool endOutermost();
  void write(std::string_view key, const Value* value);
  void writeInTransaction(std::string_view key, const Value* value);
  void rollBack();
  void report(std::string_view what, std::string_view detail = {});

  // Each of these REQUIRES committedMu_ held exclusively.
  void applyToCopy(const std::string& key, std::optional<Value>&& value);
  // Counts one change of the copy, made to keys.
  void countChange(std::vector<std::string> keys);
  // Counts a change of anything (a reload).
  void countChangeOfEverything();

  const std::string name_;
  const std::unique_ptr<SuiteDatabase> database_;
  Log& log_;

  // mu_ held by a writer, which readers do not wait for.
  class WriterLock {
   public:
    explicit WriterLock(SqliteSuite& suite) : suite_(suite), lock_(suite.mu_) {
      suite_.writers_.fetch_add(1, std::memory_order_release);
    }
    ~WriterLock() { suite_.writers_.fetch_sub(1, std::memory_order_release); }
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

   private:
    SqliteSuite& suite_;
    std::lock_guard<std::recursive_mutex> lock_;
  };

  // Writers and the connection; a reader that finds the copy stale holds it
  // to refresh.
  std::recursive_mutex mu_;
  std::atomic<int> writers_{0};
  bool loaded_ = false;
  std::int64_t dataVersion_ = 0;
  // The change log's newest number the copy reflects; nothing when unknown.
  std::optional<std::int64_t> logged_;
  // Another connection's commit was taken in and the file has no log; the
  // open transaction started it; starting it failed (never tried again).
  bool logWanted_ = false;
  bool logStarted_ = false;
  bool logRefused_ = false;
  WalIndexProbe probe_;
  // The open transaction: its thread, nesting depth, whether it must roll
  // back, and its writes.
  std::atomic<std::thread::id> owner_{};
  int depth_ = 0;
  bool doomed_ = false;
  Pending pending_;

  // The last committed entries. Written with both mu_ and committedMu_ held.
  std::shared_mutex committedMu_;
  Entries committed_;
  Index index_;
  // Bumped with committedMu_ held exclusively whenever committed_ changes.
  std::atomic<std::uint64_t> changeCount_{0};
  // The keys of each recent change, oldest first: every change after
  // historyFrom_ is there. Guarded like committed_.
  struct Change {
    std::uint64_t count;  // the count it produced
    std::vector<std::string> keys;
  };
  static constexpr std::size_t kHistoryKeys = 16384;
  std::deque<Change> history_;
  std::uint64_t historyFrom_ = 0;
  std::size_t historyKeys_ = 0;
};

// Returns text fit for a log line: printable ASCII as is, other bytes as
// \xNN, cut after maxShown bytes.
std::string printableForLog(std::string_view text, std::size_t maxShown = 80);

}  // namespace tavrino::platform
