// Tracking hits against a plain libcurl GET over loopback, both answered by
// the reference service running in this process.
//
// CPU figures here are process CPU time (MeasureProcessCPUTime): the SDK's
// sender works on threads of its own, and the in-process service's share is
// the same for every figure, so the ratios compare like with like.

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include <unistd.h>

#include "service/service.hpp"
#include "tavrino/platform/linux.hpp"
#include "tavrino/util/store.hpp"
#include "tavrino/util/transport.hpp"

namespace {

using namespace std::chrono_literals;

// A click hit as the SDK sends it: about 40 pairs.
std::string hitQuery() {
  std::string query = "t?a=c&zbid=12&s=42&r=57&vzbid=3,4,5";
  for (int i = 0; i < 36; ++i) {
    query += "&key" + std::to_string(i) + "=value%20" + std::to_string(i);
  }
  return query;
}

std::size_t discard(char*, std::size_t size, std::size_t count, void*) {
  return size * count;
}

// The floor: one easy handle, reused for every GET, so one connection.
void BM_Baseline_CurlReusedGet(benchmark::State& state) {
  tavrino::service::Service service;
  const std::string url = service.start() + hitQuery();
  curl_global_init(CURL_GLOBAL_DEFAULT);
  CURL* easy = curl_easy_init();
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &discard);
  for (auto _ : state) {
    if (curl_easy_perform(easy) != CURLE_OK) state.SkipWithError("GET failed");
  }
  curl_easy_cleanup(easy);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Baseline_CurlReusedGet)->MeasureProcessCPUTime();

class SdkFixture {
 public:
  SdkFixture() {
    dir_ = std::filesystem::temp_directory_path() /
           ("tavrino_transport_bench_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    tavrino::platform::LinuxPlatformOptions options;
    options.dataDirectory = dir_;
    tavrino::platform::install(tavrino::platform::makeLinuxPlatform(options));
    url_ = service_.start() + hitQuery();
  }
  ~SdkFixture() {
    tavrino::platform::install(nullptr);
    service_.stop();
    std::filesystem::remove_all(dir_);
  }

  const std::string& url() const { return url_; }
  // Waits (asleep, so the wait costs no CPU) until total hits reached the
  // service.
  bool awaitReceived(long total) {
    return service_.waitForRequests("/t", static_cast<std::size_t>(total), 120s);
  }

 private:
  std::filesystem::path dir_;
  tavrino::service::Service service_;
  std::string url_;
};

// What a tracking hit costs the thread that reports it, once its URL is
// built: the default CPU time of Google Benchmark is the calling thread's.
// A fixed count keeps the queue the sender drains afterwards bounded.
void BM_TrackingHitHandOff(benchmark::State& state) {
  SdkFixture sdk;
  for (auto _ : state) tavrino::Util::getRequest("click", sdk.url());
  if (!sdk.awaitReceived(static_cast<long>(state.iterations()))) {
    state.SkipWithError("hits lost");
  }
}
BENCHMARK(BM_TrackingHitHandOff)->Iterations(20000);

// The whole process's CPU per hit, from the call until the service holds it:
// the last iteration waits for every hit to arrive.
void BM_TrackingHitSenderCpu(benchmark::State& state) {
  SdkFixture sdk;
  long sent = 0;
  for (auto _ : state) {
    tavrino::Util::getRequest("click", sdk.url());
    if (++sent == static_cast<long>(state.max_iterations) && !sdk.awaitReceived(sent)) {
      state.SkipWithError("hits lost");
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TrackingHitSenderCpu)->MeasureProcessCPUTime();

}  // namespace
