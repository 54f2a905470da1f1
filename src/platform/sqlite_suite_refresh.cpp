// SqliteSuite: keeping the copy true to the database when other connections
// commit, and the history of what each change of the copy touched.

#include <algorithm>
#include <utility>

#include "core/value_cbor.hpp"
#include "platform/sqlite_suite.hpp"

namespace tavrino::platform {

bool SqliteSuite::refreshIfStale() {
  if (probe_.unchanged()) return true;
  // Read before asking SQLite: a commit in between is caught next time.
  const WalIndexProbe::Snapshot seen = probe_.read();
  const std::optional<std::int64_t> version = database_->dataVersion();
  if (!version) return false;
  const bool others = loaded_ && *version != dataVersion_;
  if ((!loaded_ || others) && !catchUp() && !reload()) return false;
  // Shared: the next write transaction starts the log.
  if (others && !logged_ && !logRefused_) logWanted_ = true;
  if (!probe_.attached()) probe_.attach(database_->sharedWalIndex());
  probe_.remember(seen);
  return true;
}

bool SqliteSuite::reload() {
  const bool ownTransaction = !database_->inTransaction();
  if (ownTransaction && !database_->begin()) return false;
  const std::optional<std::int64_t> version = database_->dataVersion();
  Entries fresh;
  std::size_t skipped = 0;
  bool ok = version && database_->forEachRow([&](std::string_view key, auto bytes) {
    std::optional<Value> value = decodeValue(bytes);
    if (value) {
      fresh.insert_or_assign(std::string(key), std::move(*value));
    } else {
      ++skipped;
    }
  });
  // Without a readable log every later refresh reads everything again.
  const std::optional<std::int64_t> logged = ok ? database_->lastChange() : std::nullopt;
  if (!endRefreshRead(ownTransaction, ok, skipped)) return false;
  // Built before the swap, which keeps the nodes the views point into.
  Index freshIndex;
  for (const auto& [key, value] : fresh) freshIndex.insert(key, &value);
  {
    std::unique_lock lock(committedMu_);
    committed_.swap(fresh);
    std::swap(index_, freshIndex);
    countChangeOfEverything();
  }
  dataVersion_ = *version;
  logged_ = logged;
  loaded_ = true;
  return true;  // the old entries are freed here, outside the readers' lock
}

bool SqliteSuite::endRefreshRead(bool ownTransaction, bool ok, std::size_t skipped) {
  if (ownTransaction) {
    ok = ok && database_->commit();
    database_->rollback();  // only when the commit did not happen
  }
  if (ok && skipped > 0) {
    report("skipped stored values that are not valid CBOR", std::to_string(skipped));
  }
  return ok;
}

bool SqliteSuite::catchUp() {
  if (!loaded_ || !logged_) return false;
  const bool ownTransaction = !database_->inTransaction();
  if (ownTransaction && !database_->begin()) return false;
  const std::optional<std::int64_t> version = database_->dataVersion();
  // The log must still hold the number last seen (a trimmed log starts
  // later), and then every number after it: a gap means lost changes.
  const std::int64_t seen = *logged_;
  std::int64_t next = seen == 0 ? 1 : seen;
  bool gap = false;
  std::vector<std::string> keys;
  bool ok = version && database_->forEachChangeFrom(seen, [&](std::int64_t number, auto key) {
    if (number != next++) gap = true;
    if (!gap && number != seen) keys.emplace_back(key);
    return !gap;
  });
  ok = ok && !gap && next > seen;
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  std::vector<std::optional<Value>> values(keys.size());
  std::size_t skipped = 0;
  for (std::size_t i = 0; ok && i < keys.size(); ++i) {
    ok = database_->get(keys[i], [&](auto bytes) {
      values[i] = decodeValue(bytes);
      if (!values[i]) ++skipped;
    });
  }
  if (!endRefreshRead(ownTransaction, ok, skipped)) return false;
  if (!keys.empty()) {
    std::unique_lock lock(committedMu_);
    for (std::size_t i = 0; i < keys.size(); ++i) applyToCopy(keys[i], std::move(values[i]));
    countChange(std::move(keys));
  }
  dataVersion_ = *version;
  logged_ = next - 1;
  return true;
}

std::optional<WalIndexProbe::Snapshot> SqliteSuite::ownCommitHeader(
    const WalIndexProbe::Snapshot& before) {
  if (!before.valid) return std::nullopt;
  // Read after the commit released the write lock, so another process may
  // have committed since; its commit would add one more to the counter. A
  // header torn by such a commit keeps that commit's counter or differs
  // from the finished header in some word: either way the probe then sees
  // a change.
  const WalIndexProbe::Snapshot after = probe_.read();
  if (!after.valid ||
      WalIndexProbe::commitCounter(after) != WalIndexProbe::commitCounter(before) + 1) {
    return std::nullopt;
  }
  return after;
}

std::optional<std::uint64_t> SqliteSuite::forEachChangeSince(
    std::uint64_t since, std::string_view prefix,
    const std::function<void(std::string_view key, const Value* value)>& visit) {
  const bool own = inOwnTransaction();
  if (own && !pending_.empty()) return std::nullopt;
  if (!own) refreshUnlessBusy();
  std::shared_lock lock(committedMu_);
  const std::uint64_t count = changeCount_.load(std::memory_order_relaxed);
  if (since < historyFrom_ || since > count) return std::nullopt;
  std::vector<std::string_view> keys;
  for (auto change = history_.rbegin(); change != history_.rend() && change->count > since;
       ++change) {
    for (const std::string& key : change->keys) {
      if (key.starts_with(prefix)) keys.push_back(key);
    }
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  for (std::string_view key : keys) visit(key, index_.find(key));
  return count;
}

void SqliteSuite::countChange(std::vector<std::string> keys) {
  const std::uint64_t count = changeCount_.fetch_add(1, std::memory_order_release) + 1;
  historyKeys_ += keys.size();
  history_.push_back({count, std::move(keys)});
  // The newest change stays even when it alone is over the bound.
  while (historyKeys_ > kHistoryKeys && history_.size() > 1) {
    historyKeys_ -= history_.front().keys.size();
    historyFrom_ = history_.front().count;
    history_.pop_front();
  }
}

void SqliteSuite::countChangeOfEverything() {
  historyFrom_ = changeCount_.fetch_add(1, std::memory_order_release) + 1;
  history_.clear();
  historyKeys_ = 0;
}

}  // namespace tavrino::platform
