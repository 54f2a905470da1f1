// Inbox listing and storing with small and large inboxes: both should grow
// linearly with the number of stored messages.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

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

Value benchMessage(std::int64_t i) {
  return Value{{"zbid", numbered("m", i)},
               {"qivibxttl", "10080"},
               {"qivibxmt", i % 2 ? "news" : "offers"},
               {"qivibxcap", numbered("A title of some length ", i)},
               {"qivibxbody", std::string(120, 'x')},
               {"qivibxu", numbered("https://example.com/landing/", i)},
               {"qivibxr", "2"},
               {"qivibxdate", "1700000000"},
               {"qivibxtimeout", std::to_string(1700000000 + i)}};
}

// An inbox holding n messages with a limit of n. The entries are written
// directly, in one transaction: n stores would take quadratic time.
QivInbox filledInbox(std::int64_t n) {
  Util::setCookieToQIVDefaults("_inbox_history_size", std::to_string(n));
  QivInbox inbox;
  inbox.setStoreName("group.bench");
  auto suite = inbox.initStorageForQivInbox();
  suite->transaction([&] {
    for (std::int64_t i = 0; i < n; ++i) {
      const Value map = QivInboxHelper().createMessageMap(benchMessage(i));
      suite->set(numbered("qiv_inbox_m", i), Value::binary(archiveDictionary(map)));
    }
  });
  return inbox;
}

void BM_GetAllMessages(benchmark::State& state) {
  BenchPlatform platform;
  QivInbox inbox = filledInbox(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(inbox.getAllMessages());
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_GetAllMessages)->Arg(20)->Arg(2000)->Complexity(benchmark::oN);

// A re-store of a stored id: the mark-read path, with the status callback.
void BM_SetMessageReStore(benchmark::State& state) {
  BenchPlatform platform;
  QivInbox inbox = filledInbox(state.range(0));
  inbox.message_callback = [](const QivInbox::Counts& counts) { benchmark::DoNotOptimize(counts); };
  const Value message = benchMessage(0);
  for (auto _ : state) benchmark::DoNotOptimize(inbox.setMessage(message));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SetMessageReStore)->Arg(20)->Arg(2000)->Complexity(benchmark::oN);

// A new id into a full inbox: every store evicts the message that expires
// first.
void BM_SetMessageEvicting(benchmark::State& state) {
  BenchPlatform platform;
  QivInbox inbox = filledInbox(state.range(0));
  std::int64_t next = state.range(0);
  for (auto _ : state) benchmark::DoNotOptimize(inbox.setMessage(benchMessage(next++)));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SetMessageEvicting)->Arg(20)->Arg(2000)->Complexity(benchmark::oN);

}  // namespace
