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
  void round(bool pageViews, bool banners) {
    for (int i = 0; i < 1000; ++i) {
      if (pageViews) pageView(i);
      if (banners) banner(i);
    }
  }

  void pageView(int i) {
    client->execute(host, {{"p", "Page " + std::to_string(i % 20)},
                           {"cuid", "member-1"},
                           {"category", "c" + std::to_string(i)}});
    platform::current().dispatch().runUntilIdle();
  }

  void banner(int i) {
    auto& dispatch = platform::current().dispatch();
    auto banner = std::make_shared<popUpController>();
    const bool web = i % 2 == 0;
    const Value params = web ? Value{{"cap", "x"}, {"zbid", std::to_string(i)}}
                             : Value{{"bc", "nt"}, {"cap", "x"}, {"zbid", std::to_string(i)}};
    banner->createBanner(host, ui::Image{}, params, web ? "lbcs" : "bs", {390, 844}, {});
    dispatch.runFor(1s);
    banner->targetCoc();
    dispatch.runFor(1s);
  }

  std::optional<Tavrino> client;
  std::shared_ptr<ui::Window> window;
  std::shared_ptr<ui::ViewController> host;

 private:
  std::filesystem::path dir_;
};

void measureGrowth(benchmark::State& state, bool pageViews, bool banners) {
  SessionPlatform session;
  session.round(pageViews, banners);  // warm-up: caches, pools, the store's pages
  const long before = residentKb();
  for (auto _ : state) session.round(pageViews, banners);
  const long after = residentKb();
  state.counters["rss_growth_kb"] = static_cast<double>(after - before);
  state.counters["rss_kb"] = static_cast<double>(after);
  // What a leak would leave hanging on the host screen.
  state.counters["host_children"] = static_cast<double>(session.host->children().size());
  state.counters["host_subviews"] = static_cast<double>(session.host->view()->subviews().size());
}

void BM_MemoryPageViewsAndBanners(benchmark::State& state) {
  measureGrowth(state, true, true);
}
BENCHMARK(BM_MemoryPageViewsAndBanners)->Iterations(6)->Unit(benchmark::kMillisecond);

// The two halves on their own, to tell where growth comes from.
void BM_MemoryPageViewsOnly(benchmark::State& state) {
  measureGrowth(state, true, false);
}
BENCHMARK(BM_MemoryPageViewsOnly)->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_MemoryBannersOnly(benchmark::State& state) {
  measureGrowth(state, false, true);
}
BENCHMARK(BM_MemoryBannersOnly)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace
