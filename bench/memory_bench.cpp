// Resident memory over a long session: page views and banners shown and
// closed must leave nothing behind once the caches are warm.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "tavrino/banner/pop_up_controller.hpp"
#include "tavrino/client.hpp"
#include "tavrino/platform/linux.hpp"
#include "tavrino/ui/window.hpp"

namespace {

using namespace tavrino;
using namespace std::chrono_literals;

// VmRSS of this process in kB, or -1.
long residentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("VmRSS:")) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

class SessionPlatform {
 public:
  SessionPlatform() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavrino-memory-XXXXXX");
    dir_ = mkdtemp(pattern.data());
    platform::install(platform::makeLinuxPlatform(
        {.dataDirectory = dir_, .clock = std::make_shared<platform::ManualClock>(1765000000)}));
    window = ui::Window::make(ui::Rect::make(0, 0, 390, 844));
    host = std::make_shared<ui::ViewController>("HomeViewController");
    window->setRootViewController(host);
    application().setKeyWindow(window);
    client.emplace("not a url", "1234", "0");  // page views that fetch nothing
  }
  ~SessionPlatform() {
    client.reset();
    application().setKeyWindow(nullptr);
    window.reset();
    host.reset();
    platform::install(nullptr);
    std::filesystem::remove_all(dir_);
  }

  static platform::LinuxApplication& application() {
    return dynamic_cast<platform::LinuxApplication&>(platform::current().application());
  }

  // 1,000 page views, each with one banner shown and closed.
  void round() {
    auto& dispatch = platform::current().dispatch();
    for (int i = 0; i < 1000; ++i) {
      client->execute(host, {{"p", "Page " + std::to_string(i % 20)},
                             {"cuid", "member-1"},
                             {"category", "c" + std::to_string(i)}});
      dispatch.runUntilIdle();
      auto banner = std::make_shared<popUpController>();
      const bool web = i % 2 == 0;
      const Value params = web ? Value{{"cap", "x"}, {"zbid", std::to_string(i)}}
                               : Value{{"bc", "nt"}, {"cap", "x"}, {"zbid", std::to_string(i)}};
      banner->createBanner(host, ui::Image{}, params, web ? "lbcs" : "bs", {390, 844}, {});
      dispatch.runFor(1s);
      banner->targetCoc();
      dispatch.runFor(1s);
    }
  }

  std::optional<Tavrino> client;
  std::shared_ptr<ui::Window> window;
  std::shared_ptr<ui::ViewController> host;

 private:
  std::filesystem::path dir_;
};

void BM_MemoryPageViewsAndBanners(benchmark::State& state) {
  SessionPlatform session;
  session.round();  // warm-up: caches, pools, the store's pages
  const long before = residentKb();
  for (auto _ : state) session.round();
  const long after = residentKb();
  state.counters["rss_growth_kb"] = static_cast<double>(after - before);
  state.counters["rss_kb"] = static_cast<double>(after);
}
BENCHMARK(BM_MemoryPageViewsAndBanners)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace
