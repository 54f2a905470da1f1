// The campaign engine's main-thread costs: one page view with a small and a
// large store, the dispatch of a 50-campaign answer, and one show-criteria
// check. Nothing here touches the network: the base forms no URL.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>

#include <sqlite3.h>

#include "campaign/answer/engine_state.hpp"
#include "core/shared_configuration.hpp"
#include "tavrino/client.hpp"
#include "tavrino/platform/linux.hpp"
#include "tavrino/util/store.hpp"

namespace {

using namespace tavrino;

class EnginePlatform {
 public:
  explicit EnginePlatform(int storeEntries) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavrino-bench-XXXXXX");
    dir_ = mkdtemp(pattern.data());
    platform::install(platform::makeLinuxPlatform({.dataDirectory = dir_, .clock = nullptr}));
    auto store = Util::qivDefaults();
    store->transaction([&] {
      for (int i = 0; i < storeEntries; ++i) {
        store->set("usercount_" + std::to_string(100000 + i), std::to_string(i % 7));
      }
    });
    client.emplace("not a url", "1234", "0");
  }
  ~EnginePlatform() {
    client.reset();
    platform::install(nullptr);
    std::filesystem::remove_all(dir_);
  }

  std::optional<Tavrino> client;
  std::shared_ptr<ui::ViewController> view = std::make_shared<ui::ViewController>("HomeScreen");

 private:
  std::filesystem::path dir_;
};

void BM_Execute(benchmark::State& state) {
  EnginePlatform fixture(static_cast<int>(state.range(0)));
  const StringMap page = {{"p", "Home"}, {"cuid", "member-1"}, {"category", "shoes"}};
  auto& dispatch = platform::current().dispatch();
  for (auto _ : state) {
    fixture.client->execute(fixture.view, page);
    state.PauseTiming();
    dispatch.runUntilIdle();  // the hand-off; its fetch stops at the URL check
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Execute)->Arg(50)->Arg(2000)->Unit(benchmark::kMicrosecond);

// What one commit costs here, for comparing execute with: one upsert of a new
// value into a WAL database with synchronous=NORMAL, committed on its own.
void BM_ExecuteLocalCommitReference(benchmark::State& state) {
  std::string pattern = (std::filesystem::temp_directory_path() / "tavrino-commit-XXXXXX");
  const std::filesystem::path dir = mkdtemp(pattern.data());
  sqlite3* db = nullptr;
  sqlite3_open((dir / "reference.sqlite").c_str(), &db);
  sqlite3_exec(db,
               "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
               "CREATE TABLE entries (key TEXT PRIMARY KEY, value BLOB) WITHOUT ROWID;",
               nullptr, nullptr, nullptr);
  sqlite3_stmt* upsert = nullptr;
  sqlite3_prepare_v2(db,
                     "INSERT INTO entries (key, value) VALUES ('vt', ?1) "
                     "ON CONFLICT (key) DO UPDATE SET value = excluded.value",
                     -1, &upsert, nullptr);
  std::int64_t value = 0;
  for (auto _ : state) {
    sqlite3_bind_int64(upsert, 1, ++value);
    if (sqlite3_step(upsert) != SQLITE_DONE) state.SkipWithError("upsert failed");
    sqlite3_reset(upsert);
  }
  sqlite3_finalize(upsert);
  sqlite3_close(db);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ExecuteLocalCommitReference)->Unit(benchmark::kMicrosecond);

std::string fiftyCampaignAnswer() {
  Value answer = Value::array();
  for (int i = 0; i < 50; ++i) {
    const std::string zbid = std::to_string(5000 + i);
    switch (i % 5) {
      case 0:
        answer.push_back({{"function", "ui_sb"}, {"params", {{"uvp", "p"}, {"zbid", zbid}}}});
        break;
      case 1:
        answer.push_back(
            {{"function", "ui_sb"}, {"params", {{"uvp", "u"}, {"zbid", zbid}, {"shCnt", "3"}}}});
        break;
      case 2:
        answer.push_back({{"function", "ui_sb"},
                          {"params", {{"uvp", "v"}, {"zbid", zbid}, {"soo", "1"}, {"gn", "g"}}}});
        break;
      case 3:
        answer.push_back(
            {{"function", "_sc"}, {"params", {{"n", "c" + zbid}, {"v", "1"}, {"t", 60}}}});
        break;
      default:
        answer.push_back({{"function", "ui_sb"},
                          {"params",
                           {{"uvp", "p"},
                            {"zbid", zbid},
                            {"shEvn", "CUSTOMEVENT"},
                            {"evn", "qivo.custom.cart.add"}}}});
    }
  }
  return answer.dump();
}

void BM_DispatchFiftyCampaignAnswer(benchmark::State& state) {
  EnginePlatform fixture(50);
  const std::string body = fiftyCampaignAnswer();
  const Data bytes(body.begin(), body.end());
  auto& dispatch = platform::current().dispatch();
  for (auto _ : state) {
    const engine::PageView page{
        "not a url", ViewHandle(fixture.view), {{"p", "Home"}}, processState().execcounter()};
    engine::handleAnswer(fixture.client->task.handle(), bytes, page);
    dispatch.runUntilIdle();
    state.PauseTiming();
    Util::removeCookieStartsWith("qivo.custom.events_");
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DispatchFiftyCampaignAnswer)->Unit(benchmark::kMillisecond);

double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The answer of 50 campaigns as the main loop sees it: the answer is decoded
// and filed on a global queue, as after a fetch; the figure is the main
// thread's CPU time while its loop runs the queued campaigns (manual time:
// the time the loop is busy, not the wait for the global queue).
void BM_AnswerFiftyCampaigns(benchmark::State& state) {
  EnginePlatform fixture(50);
  const std::string body = fiftyCampaignAnswer();
  const Data bytes(body.begin(), body.end());
  auto& dispatch = platform::current().dispatch();
  std::size_t tasks = 0;
  for (auto _ : state) {
    const engine::PageView page{
        "not a url", ViewHandle(fixture.view), {{"p", "Home"}}, processState().execcounter()};
    std::atomic<bool> handled{false};
    dispatch.globalAsync(platform::QualityOfService::defaultQoS, [&] {
      engine::handleAnswer(fixture.client->task.handle(), bytes, page);
      handled.store(true, std::memory_order_release);
    });
    while (!handled.load(std::memory_order_acquire)) std::this_thread::yield();
    const double start = threadCpuSeconds();
    tasks = dispatch.runUntilIdle();
    state.SetIterationTime(threadCpuSeconds() - start);
    Util::removeCookieStartsWith("qivo.custom.events_");
  }
  state.counters["main_loop_tasks"] = static_cast<double>(tasks);
}
BENCHMARK(BM_AnswerFiftyCampaigns)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_CheckEvent(benchmark::State& state) {
  EnginePlatform fixture(50);
  const Value params = {{"uvp", "p"}, {"zbid", "42"}, {"rafc", "1"}, {"soo", "1"}, {"gn", "g"}};
  const StringMap clientMap = {{"_execcounter", std::to_string(processState().execcounter())}};
  for (auto _ : state) {
    Util::setCookieToQIVDefaults("groupname", "");
    fixture.client->task.checkEvent("p", "42", "99999", params, fixture.view, "not a url",
                                    clientMap);
  }
}
BENCHMARK(BM_CheckEvent)->Unit(benchmark::kMicrosecond);

}  // namespace
