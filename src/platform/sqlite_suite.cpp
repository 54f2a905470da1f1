#include "platform/sqlite_suite.hpp"

#include <exception>
#include <utility>

#include "core/value_cbor.hpp"

namespace tavrino::platform {

std::string printableForLog(std::string_view text, std::size_t maxShown) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < text.size() && i < maxShown; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
      out += static_cast<char>(byte);
    } else {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
  }
  if (text.size() > maxShown) out += "...";
  return out;
}

SqliteSuite::SqliteSuite(std::string name, std::unique_ptr<SuiteDatabase> database, Log& log)
    : name_(std::move(name)), database_(std::move(database)), log_(log) {
  // Loaded now, so that a read served while a writer holds the connection
  // still finds what the disk held. Nobody else sees the suite yet: no lock
  // (taking it here would order it after the opener's own).
  if (database_ && !refreshIfStale()) report("cannot read", database_->error());
}

SqliteSuite::~SqliteSuite() = default;

bool SqliteSuite::inOwnTransaction() const {
  return owner_.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

template <class Take>
auto SqliteSuite::read(std::string_view key, const Take& take) {
  if (inOwnTransaction()) {
    if (auto it = pending_.find(key); it != pending_.end()) {
      return take(it->second ? &*it->second : nullptr);
    }
  } else if (!probe_.unchanged()) {
    refreshUnlessBusy();
  }
  std::shared_lock lock(committedMu_);
  return take(index_.find(key));
}

std::optional<Value> SqliteSuite::object(std::string_view key) {
  return read(key, [](const Value* value) -> std::optional<Value> {
    if (value == nullptr) return std::nullopt;
    return *value;
  });
}

std::optional<std::string> SqliteSuite::string(std::string_view key) {
  return read(key, [](const Value* value) -> std::optional<std::string> {
    if (value == nullptr || !value->is_string()) return std::nullopt;
    return value->get_ref<const std::string&>();
  });
}

std::vector<std::pair<std::string, Value>> SqliteSuite::dictionaryRepresentation() {
  const bool own = inOwnTransaction();
  if (!own) refreshUnlessBusy();
  std::shared_lock lock(committedMu_);
  if (!own || pending_.empty()) return {committed_.begin(), committed_.end()};
  // The transaction's own view: the copy overlaid with its writes, in key order.
  std::vector<std::pair<std::string, Value>> entries;
  entries.reserve(committed_.size() + pending_.size());
  auto committed = committed_.begin();
  auto pending = pending_.begin();
  while (committed != committed_.end() || pending != pending_.end()) {
    if (pending == pending_.end() ||
        (committed != committed_.end() && committed->first < pending->first)) {
      entries.emplace_back(*committed++);
      continue;
    }
    if (committed != committed_.end() && committed->first == pending->first) ++committed;
    if (pending->second) entries.emplace_back(pending->first, *pending->second);
    ++pending;
  }
  return entries;
}

std::uint64_t SqliteSuite::forEachEntry(
    std::string_view prefix,
    const std::function<void(std::string_view key, const Value& value)>& visit) {
  return forEachEntryIn({&prefix, 1}, visit);
}

std::uint64_t SqliteSuite::forEachEntryIn(
    std::span<const std::string_view> prefixes,
    const std::function<void(std::string_view key, const Value& value)>& visit) {
  const bool own = inOwnTransaction();
  if (!own) refreshUnlessBusy();
  std::shared_lock lock(committedMu_);
  for (const std::string_view prefix : prefixes) {
    auto committed = committed_.lower_bound(prefix);
    const auto inRange = [&](const std::string& key) { return key.starts_with(prefix); };
    if (!own || pending_.empty()) {
      for (; committed != committed_.end() && inRange(committed->first); ++committed) {
        visit(committed->first, committed->second);
      }
      continue;
    }
    // The transaction's own view: the copy overlaid with its writes.
    auto pending = pending_.lower_bound(prefix);
    const auto committedEnd = [&] {
      return committed == committed_.end() || !inRange(committed->first);
    };
    const auto pendingEnd = [&] { return pending == pending_.end() || !inRange(pending->first); };
    while (!committedEnd() || !pendingEnd()) {
      if (pendingEnd() || (!committedEnd() && committed->first < pending->first)) {
        visit(committed->first, committed->second);
        ++committed;
        continue;
      }
      if (!committedEnd() && committed->first == pending->first) ++committed;
      if (pending->second) visit(pending->first, *pending->second);
      ++pending;
    }
  }
  return changeCount_.load(std::memory_order_relaxed);
}

std::uint64_t SqliteSuite::changeCount() {
  if (!inOwnTransaction()) refreshUnlessBusy();
  return changeCount_.load(std::memory_order_acquire);
}

void SqliteSuite::set(std::string_view key, const Value& value) {
  WriterLock lock(*this);
  write(key, value.is_null() ? nullptr : &value);
}

void SqliteSuite::remove(std::string_view key) {
  WriterLock lock(*this);
  write(key, nullptr);
}

bool SqliteSuite::transaction(const std::function<void()>& body) {
  WriterLock lock(*this);
  const bool outermost = depth_ == 0;
  if (outermost && !beginOutermost()) return false;
  if (!outermost) ++depth_;
  try {
    if (body) body();
  } catch (const std::exception& e) {
    report("transaction body threw, rolling back", e.what());
    doomed_ = true;
  } catch (...) {
    report("transaction body threw, rolling back");
    doomed_ = true;
  }
  if (outermost) return endOutermost();
  --depth_;
  return !doomed_;
}

void SqliteSuite::refreshUnlessBusy() {
  if (!database_ || probe_.unchanged()) return;
  // A writer may hold the connection for as long as it waits for another
  // process: the last committed copy is the answer meanwhile. Another
  // reader's refresh is worth waiting for: it ends soon, with the entries
  // this read must see.
  std::unique_lock lock(mu_, std::defer_lock);
  while (!lock.try_lock()) {
    if (writers_.load(std::memory_order_acquire) > 0 || probe_.unchanged()) return;
    std::this_thread::yield();
  }
  if (!refreshIfStale()) report("cannot read, serving the entries last read", database_->error());
}

bool SqliteSuite::beginWriting() {
  if (!database_->beginImmediate()) {
    report("cannot begin a write transaction", database_->error());
    return false;
  }
  if (!refreshIfStale()) {
    report("cannot read at the start of a transaction", database_->error());
    database_->rollback();
    return false;
  }
  return true;
}

bool SqliteSuite::startLog() {
  logWanted_ = false;
  if (database_->startChangeLog()) {
    logStarted_ = true;
    return true;
  }
  logRefused_ = true;
  report("cannot start a change log, reading other connections' commits in full",
         database_->error());
  return false;
}

bool SqliteSuite::beginOutermost() {
  if (database_) {
    if (!beginWriting()) return false;
    // Nothing written yet: the log will name every write from here on.
    if (logWanted_ && !logged_ && !startLog() && !database_->inTransaction() && !beginWriting()) {
      return false;
    }
  }
  depth_ = 1;
  doomed_ = false;
  pending_.clear();
  owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
  return true;
}

bool SqliteSuite::endOutermost() {
  depth_ = 0;
  owner_.store(std::thread::id(), std::memory_order_relaxed);
  if (doomed_) {
    rollBack();
    return false;
  }
  const bool wrote = !pending_.empty();
  const bool started = std::exchange(logStarted_, false);
  WalIndexProbe::Snapshot before;
  std::optional<std::int64_t> logged = logged_;
  // Still under the write lock: the log's newest number is this
  // transaction's last write, and the header is the one it commits onto.
  // Without a log (logged_ unknown) nothing is asked of it.
  if (database_ && (started || (wrote && logged_))) logged = database_->lastChange();
  if (database_ && wrote) before = probe_.read();
  if (database_ && !database_->commit()) {
    report("commit failed, rolled back", database_->error());
    rollBack();
    return false;
  }
  logged_ = logged;
  Pending committed;
  committed.swap(pending_);
  if (!wrote) return true;
  {
    std::unique_lock lock(committedMu_);
    std::vector<std::string> keys;
    keys.reserve(committed.size());
    for (auto& [key, value] : committed) {
      applyToCopy(key, std::move(value));
      keys.push_back(key);
    }
    countChange(std::move(keys));
  }
  // Otherwise the commit's new header reads as another's change and the next
  // check asks SQLite, which does not count this connection's own commits.
  if (const auto header = ownCommitHeader(before)) probe_.remember(*header);
  return true;
}

void SqliteSuite::applyToCopy(const std::string& key, std::optional<Value>&& value) {
  if (value) {
    const auto [it, inserted] = committed_.insert_or_assign(key, std::move(*value));
    if (inserted) index_.insert(it->first, &it->second);
  } else if (auto it = committed_.find(key); it != committed_.end()) {
    index_.erase(it->first);
    committed_.erase(it);
  }
}

void SqliteSuite::rollBack() {
  if (database_) database_->rollback();
  pending_.clear();
  logStarted_ = false;  // the log went with the transaction
}

void SqliteSuite::write(std::string_view key, const Value* value) {
  if (depth_ > 0) {
    writeInTransaction(key, value);
    return;
  }
  if (!beginOutermost()) return;
  writeInTransaction(key, value);
  endOutermost();
}

void SqliteSuite::writeInTransaction(std::string_view key, const Value* value) {
  // The transaction rolls back at its end anyway; and after some failures
  // SQLite has already ended it, so a write now would commit on its own.
  if (doomed_) return;
  std::optional<std::vector<std::uint8_t>> encoded;
  if (value != nullptr) {
    encoded = encodeValue(*value);
    if (!encoded) {
      report("refused a value that cannot be stored (nested too deep?)");
      return;
    }
  }
  if (database_) {
    const bool ok = encoded ? database_->put(key, *encoded) : database_->erase(key);
    if (!ok) {
      // SQLite may already have rolled the whole transaction back.
      report("write failed", database_->error());
      doomed_ = true;
      return;
    }
  }
  std::optional<Value> written;
  if (value != nullptr) written = *value;
  pending_.insert_or_assign(std::string(key), std::move(written));
}

void SqliteSuite::report(std::string_view what, std::string_view detail) {
  std::string line = "user defaults: suite \"" + printableForLog(name_) + "\": ";
  line += what;
  if (!detail.empty()) {
    line += ": ";
    line += detail;
  }
  log_.log(line);
}

}  // namespace tavrino::platform
