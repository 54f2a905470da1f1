#pragma once

// UserDefaults: named suites of persistent key-value pairs whose values are
// property-list values (text, data, numbers, booleans, lists, maps).
//
// A write is visible to the next read at once, from any thread of the process
// and from another process that opens the same suite, and it survives a crash
// of the process. Reads are served from memory.
//
// Thread-safety: every method may be called from any thread. A transaction
// excludes other threads' and other processes' writes from the suite until
// it ends. Reads never wait for a writer: outside its transaction they see
// the last committed state (while a writer of this process waits for another
// process, the state last seen), never half a transaction.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tavrino/export.hpp"
#include "tavrino/value.hpp"

namespace tavrino::platform {

class TAVRINO_EXPORT UserDefaultsSuite {
 public:
  virtual ~UserDefaultsSuite();

  virtual const std::string& name() const = 0;

  // Returns the value stored under key, or nothing.
  virtual std::optional<Value> object(std::string_view key) = 0;

  // Returns the text stored under key; nothing when absent or not a text.
  // The default reads object(); a suite may copy the text alone.
  virtual std::optional<std::string> string(std::string_view key);

  // Stores value under key, replacing any earlier value. A null value removes
  // the key.
  virtual void set(std::string_view key, const Value& value) = 0;

  virtual void remove(std::string_view key) = 0;

  // Returns every entry in key order.
  virtual std::vector<std::pair<std::string, Value>> dictionaryRepresentation() = 0;

  // Calls visit with every entry whose key begins with prefix, in key order,
  // without copying: what dictionaryRepresentation() holds, read in place.
  // visit runs under the suite's read lock and must not call the suite.
  // Returns the changeCount() of the entries visited.
  virtual std::uint64_t forEachEntry(
      std::string_view prefix,
      const std::function<void(std::string_view key, const Value& value)>& visit) = 0;

  // As forEachEntry() with each of prefixes in turn, under one read lock: a
  // caller that needs a few key ranges visits them without the entries in
  // between. Prefixes none of which begins another, in key order, give the
  // entries in key order.
  virtual std::uint64_t forEachEntryIn(
      std::span<const std::string_view> prefixes,
      const std::function<void(std::string_view key, const Value& value)>& visit) = 0;

  // A count that changes whenever the entries served change: each commit
  // with writes of this process adds one, and so does taking in another
  // process's commits (seen by the same check a read makes, at the same
  // cost). Inside the caller's own transaction it is the count at the
  // transaction's start, and forEachEntry() also shows the transaction's
  // own writes.
  virtual std::uint64_t changeCount() = 0;

  // Runs body as one transaction: reads inside see the latest state of every
  // process and the transaction's own writes, the writes commit together,
  // and no other thread or process writes the suite in between. Transactions
  // nest (the inner one joins the outer). Use it for read-modify-write
  // sequences and groups of writes.
  //
  // A write that fails, a failed commit or an exception from body rolls the
  // whole transaction back; the exception ends here. Returns true iff body
  // ran to its end and its writes committed (for a nested transaction: that
  // nothing has doomed the outer one so far). False also when the suite
  // could not begin (another process held it past the busy time-out).
  virtual bool transaction(const std::function<void()>& body) = 0;

  // Returns true iff the suite is backed by storage. A suite the platform
  // refused (a bad name, an unreadable file) lives in memory only, for the
  // life of the process.
  virtual bool isPersistent() const = 0;
};

class TAVRINO_EXPORT UserDefaults {
 public:
  virtual ~UserDefaults();

  // Returns the suite with the given name, opening it on first use; the same
  // object for the same name. Never null: a name that is empty, contains "/"
  // or NUL, or begins with "." is refused with a log line and gets a suite
  // that lives in memory only.
  virtual std::shared_ptr<UserDefaultsSuite> suite(std::string_view name) = 0;

  // Returns suite(name) without sharing its ownership, for a caller that
  // uses it at once: the suite lives as long as this object. A hot path's
  // way in (suite() takes a lock and counts a reference).
  virtual UserDefaultsSuite& borrowSuite(std::string_view name) { return *suite(name); }
};

}  // namespace tavrino::platform
