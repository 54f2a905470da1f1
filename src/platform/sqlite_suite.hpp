#pragma once

// SqliteSuite: a user-defaults suite served from an in-memory copy of its
// entries and, when it has a database, backed by it.
//
// Every write goes to the database first, inside a write transaction, and to
// the copy once it committed, so the copy never holds what the disk does not.
// Before a read outside a transaction and at the start of every transaction
// the copy is checked against the database (a few nanoseconds when nobody
// else wrote) and reloaded when another connection has committed.
//
// Without a database the suite lives in memory only: the platform's answer to
// a refused name or file.
//
// Thread-safety: every method may be called from any thread; one recursive
// mutex guards the copy and the connection, and a transaction holds it from
// begin to end.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/suite_database.hpp"
#include "platform/wal_index_probe.hpp"
#include "tavrino/platform/log.hpp"
#include "tavrino/platform/user_defaults.hpp"

namespace tavrino::platform {

class SqliteSuite final : public UserDefaultsSuite {
 public:
  // database may be null: the suite then lives in memory only.
  // REQUIRES: log outlives the suite.
  SqliteSuite(std::string name, std::unique_ptr<SuiteDatabase> database, Log& log);
  ~SqliteSuite() override;

  const std::string& name() const override { return name_; }
  std::optional<Value> object(std::string_view key) override;
  void set(std::string_view key, const Value& value) override;
  void remove(std::string_view key) override;
  std::vector<std::pair<std::string, Value>> dictionaryRepresentation() override;
  void transaction(const std::function<void()>& body) override;
  bool isPersistent() const override { return database_ != nullptr; }

 private:
  using Entries = std::map<std::string, Value, std::less<>>;

  // Each of these REQUIRES mu_ held.
  void refreshForRead();
  bool refreshIfStale();
  bool reload();
  bool beginOutermost();
  void endOutermost();
  void write(std::string_view key, const Value* value);
  void writeInTransaction(std::string_view key, const Value* value);
  void rollBack();
  void report(std::string_view what, std::string_view detail = {});

  const std::string name_;
  const std::unique_ptr<SuiteDatabase> database_;
  Log& log_;

  std::recursive_mutex mu_;
  Entries entries_;
  bool loaded_ = false;
  std::int64_t dataVersion_ = 0;
  WalIndexProbe probe_;
  // The open transaction: its nesting depth, whether it must roll back, and
  // the value each key it wrote had before (nothing: absent).
  int depth_ = 0;
  bool doomed_ = false;
  std::map<std::string, std::optional<Value>, std::less<>> undo_;
};

// Returns text fit for a log line: printable ASCII as is, other bytes as
// \xNN, cut after maxShown bytes.
std::string printableForLog(std::string_view text, std::size_t maxShown = 80);

}  // namespace tavrino::platform
