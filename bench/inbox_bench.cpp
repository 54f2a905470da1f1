// The inbox with 20, 2,000 and 10,000 messages. Reads of an unchanged inbox
// are compared with BM_InboxChangeCheckPlusCopy (the suite's change check
// plus a copy of the result), writes with one SQLite commit
// (BM_Baseline_SqliteCommit): neither may grow with the number of messages.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/keyed_archive.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/inbox/qiv_inbox_helper.hpp"
#include "tavrino/platform/linux.hpp"
#include "tavrino/util/store.hpp"

namespace {

using namespace tavrino;

// Installs the Linux platform over a fresh directory for one benchmark run.
class BenchPlatform {
 public:
  BenchPlatform() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavrino-bench-XXXXXX");
    dir_ = mkdtemp(pattern.data());
    platform::install(platform::makeLinuxPlatform({.dataDirectory = dir_, .clock = nullptr}));
  }
  ~BenchPlatform() {
    platform::install(nullptr);
    std::filesystem::remove_all(dir_);
  }

 private:
  std::filesystem::path dir_;
};

std::string numbered(std::string prefix, std::int64_t i) {
  prefix += std::to_string(i);
  return prefix;
}

Value benchMessage(std::int64_t i, const char* status = "2") {
  return Value{{"zbid", numbered("m", i)},
               {"qivibxttl", "10080"},
               {"qivibxmt", i % 2 ? "news" : "offers"},
               {"qivibxcap", numbered("A title of some length ", i)},
               {"qivibxbody", std::string(120, 'x')},
               {"qivibxu", numbered("https://example.com/landing/", i)},
               {"qivibxr", status},
               {"qivibxdate", "1700000000"},
               {"qivibxtimeout", std::to_string(1700000000 + i)}};
}

// Writes messages first .. first + n - 1 directly, in one transaction, as
// another process would.
void writeDirectly(platform::UserDefaultsSuite& suite, std::int64_t first, std::int64_t n,
                   const char* status = "2") {
  suite.transaction([&] {
    for (std::int64_t i = first; i < first + n; ++i) {
      const Value map = QivInboxHelper().createMessageMap(benchMessage(i, status));
      suite.set(numbered("qiv_inbox_m", i), Value::binary(archiveDictionary(map)));
    }
  });
}

// An inbox holding n unread messages with a limit of n, read once.
QivInbox filledInbox(std::int64_t n) {
  Util::setCookieToQIVDefaults("_inbox_history_size", std::to_string(n));
  QivInbox inbox;
  inbox.setStoreName("group.bench");
  writeDirectly(*inbox.initStorageForQivInbox(), 0, n);
  inbox.getMessageCount();
  return inbox;
}

void inboxSizes(benchmark::internal::Benchmark* bench) {
  bench->Arg(20)->Arg(2000)->Arg(10000);
}

// What a read of an unchanged inbox cannot avoid: asking the suite whether
// anything changed, and handing the caller its own copy of the records.
void BM_InboxChangeCheckPlusCopy(benchmark::State& state) {
  BenchPlatform platform;
  QivInbox inbox = filledInbox(state.range(0));
  auto suite = inbox.initStorageForQivInbox();
  const std::vector<QivInboxMessage> records = inbox.getAllMessages();
  for (auto _ : state) {
    benchmark::DoNotOptimize(suite->changeCount());
    std::vector<QivInboxMessage> copy = records;
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_InboxChangeCheckPlusCopy)->Apply(inboxSizes);

void BM_InboxGetAll(benchmark::State& state) {
  BenchPlatform platform;
  QivInbox inbox = filledInbox(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(inbox.getAllMessages());
}
BENCHMARK(BM_InboxGetAll)->Apply(inboxSizes);

void BM_InboxUnreadCount(benchmark::State& state) {
  BenchPlatform platform;
  QivInbox inbox = filledInbox(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(inbox.getUnreadMessageCount());
}
BENCHMARK(BM_InboxUnreadCount)->Apply(inboxSizes);

// A new id into a full inbox, with a message callback: each store evicts the
// message that expires first and computes the counts.
void BM_InboxSetMessage(benchmark::State& state) {
  BenchPlatform platform;
  QivInbox inbox = filledInbox(state.range(0));
  inbox.message_callback = [](const QivInbox::Counts& counts) { benchmark::DoNotOptimize(counts); };
  std::int64_t next = state.range(0);
  for (auto _ : state) benchmark::DoNotOptimize(inbox.setMessage(benchMessage(next++)));
}
BENCHMARK(BM_InboxSetMessage)->Apply(inboxSizes);

// Marks one unread message read (a re-store of a changed record: SQLite
// skips rewrites of identical bytes, so every message is marked once before
// all are made unread again, outside the timing).
void BM_InboxMarkRead(benchmark::State& state) {
  BenchPlatform platform;
  const std::int64_t n = state.range(0);
  QivInbox inbox = filledInbox(n);
  std::int64_t next = 0;
  for (auto _ : state) {
    if (next == n) {
      state.PauseTiming();
      writeDirectly(*inbox.initStorageForQivInbox(), 0, n);
      inbox.getMessageCount();
      next = 0;
      state.ResumeTiming();
    }
    inbox.markReadMessage(numbered("m", next++));
  }
}
BENCHMARK(BM_InboxMarkRead)->Apply(inboxSizes);

// getAllMessages() after another writer changed one message: the entries
// are compared with the cached bytes and one is decoded.
void BM_InboxGetAllAfterOneChange(benchmark::State& state) {
  BenchPlatform platform;
  const std::int64_t n = state.range(0);
  QivInbox inbox = filledInbox(n);
  auto suite = inbox.initStorageForQivInbox();
  std::int64_t next = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::int64_t changed = next++;
    writeDirectly(*suite, changed % n, 1, (changed / n) % 2 ? "2" : "1");
    state.ResumeTiming();
    benchmark::DoNotOptimize(inbox.getAllMessages());
  }
}
BENCHMARK(BM_InboxGetAllAfterOneChange)->Apply(inboxSizes);

// One commit of one entry of the inbox's size (new bytes each time) through
// the suite, into the inbox suite of that size: what a store cannot avoid.
void BM_InboxRawEntryWrite(benchmark::State& state) {
  BenchPlatform platform;
  QivInbox inbox = filledInbox(state.range(0));
  auto suite = inbox.initStorageForQivInbox();
  Value entry = *suite->object("qiv_inbox_m0");
  std::int64_t next = 0;
  for (auto _ : state) {
    entry.get_binary()[entry.get_binary().size() / 2] = static_cast<std::uint8_t>(next++);
    suite->set("qiv_inbox_m0", entry);
  }
}
BENCHMARK(BM_InboxRawEntryWrite)->Apply(inboxSizes);

// The SQLite part of a new id into a full inbox: one transaction of the
// suite deleting the entry that expires first and inserting a new one (two
// places of the table), with the bytes ready.
void BM_InboxRawEvictAndInsert(benchmark::State& state) {
  BenchPlatform platform;
  const std::int64_t n = state.range(0);
  QivInbox inbox = filledInbox(n);
  auto suite = inbox.initStorageForQivInbox();
  const Value entry = *suite->object("qiv_inbox_m0");
  std::int64_t next = 0;
  for (auto _ : state) {
    suite->transaction([&] {
      suite->remove(numbered("qiv_inbox_m", next));
      suite->set(numbered("qiv_inbox_m", n + next), entry);
    });
    ++next;
  }
}
BENCHMARK(BM_InboxRawEvictAndInsert)->Apply(inboxSizes);

// One commit of one new value through the suite: BM_Baseline_SqliteCommit
// plus what the suite adds to a commit.
void BM_InboxLocalCommitReference(benchmark::State& state) {
  BenchPlatform platform;
  auto suite = platform::current().userDefaults().suite("group.bench");
  std::int64_t next = 0;
  for (auto _ : state) suite->set("reference", Value(numbered("value ", next++)));
}
BENCHMARK(BM_InboxLocalCommitReference);

}  // namespace
