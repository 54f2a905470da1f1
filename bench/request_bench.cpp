// Building a page-view URL: every standard request walks the whole store.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include <unistd.h>

#include "tavrino/platform/linux.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"

namespace {

void BM_CreateStandardRequest(benchmark::State& state) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("tavrino_request_bench_" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  tavrino::platform::LinuxPlatformOptions options;
  options.dataDirectory = dir;
  tavrino::platform::install(tavrino::platform::makeLinuxPlatform(options));

  namespace Util = tavrino::Util;
  Util::setCookieToQIVDefaults("_cburl", "//track.example/");
  Util::setCookieToQIVDefaults("_s", "42");
  // 100 entries: live campaign cookies, counters and forwarded values.
  const std::string future = "9999999999";
  for (int i = 0; i < 60; ++i) {
    Util::setCookieToQIVDefaults("qiv_c_" + std::to_string(i), std::to_string(i) + " " + future);
  }
  for (int i = 0; i < 36; ++i) Util::setCookieToQIVDefaults("usercount_" + std::to_string(i), "3");
  Util::setCookieToQIVDefaults("uids", "u,1,2,3");

  tavrino::StringMap page;
  for (int i = 0; i < 10; ++i) page["key" + std::to_string(i)] = "value " + std::to_string(i);
  for (auto _ : state) {
    benchmark::DoNotOptimize(Util::createRequest("standart", page));
  }

  tavrino::platform::install(nullptr);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_CreateStandardRequest);

}  // namespace
