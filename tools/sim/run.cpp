#include "sim/run.hpp"

#include <cxxabi.h>

#include <cstdlib>
#include <map>
#include <mutex>

#include "sim/picture.hpp"
#include "sim/player.hpp"
#include "sim/sdk_messages.hpp"
#include "sim/sim_web_engine.hpp"
#include "sim/window_mode.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/platform/linux.hpp"

namespace tavrino::sim {
namespace {

using namespace std::chrono_literals;

// Hands the SDK's log lines to the timeline for as long as the run lasts;
// the platform outlives the run, and lines written later go nowhere.
class LineRouter {
 public:
  LineRouter(Timeline& timeline, const Scenario& scenario, bool verbose)
      : timeline_(&timeline), scenario_(&scenario), verbose_(verbose) {}

  void line(std::string_view line, bool console) {
    std::lock_guard lock(mu_);
    if (!timeline_) return;
    if (console) return timeline_->emit(EntryKind::console, std::string(line));
    const std::string_view message = stripLogPrefix(line);
    if (auto decision = decisionOf(message)) {
      Entry entry{EntryKind::sdk, decision->text};
      entry.data["decision"] = decision->what;
      timeline_->emit(std::move(entry));
    } else if (verbose_) {
      timeline_->emit(EntryKind::log, std::string(message));
    }
  }

  // The step under way, for naming the main loop's work.
  std::string stepLabel() {
    std::lock_guard lock(mu_);
    if (!timeline_) return "the end of the run";
    const int step = timeline_->step();
    if (step <= 0) return "start-up";
    return "step " + std::to_string(step) + " (" + describe(scenario_->steps[step - 1]) + ")";
  }

  void detach() {
    std::lock_guard lock(mu_);
    timeline_ = nullptr;
  }

 private:
  std::mutex mu_;
  Timeline* timeline_;
  const Scenario* scenario_;
  bool verbose_;
};

void takeScreenshots(std::vector<Picture>& pictures, const std::filesystem::path& folder,
                     Timeline& timeline) {
  const auto chromium = findChromium();
  if (!chromium) {
    timeline.emit(EntryKind::picture, "no PNG screenshots: chromium is not installed");
    return;
  }
  const auto size = platform::current().screen().bounds().size;
  const auto profile = folder / ".chromium-profile";
  for (auto& picture : pictures) {
    auto png = picture.html;
    png.replace_extension(".png");
    if (!screenshot(*chromium, picture.html, png, static_cast<int>(size.width),
                    static_cast<int>(size.height), profile, 60s)) {
      timeline.emit(EntryKind::warning, "chromium made no screenshot of " + picture.html.string());
      continue;
    }
    picture.png = png;
    Entry entry{EntryKind::picture, png.string()};
    entry.data["png"] = png.string();
    timeline.emit(std::move(entry));
  }
  std::error_code ignored;
  std::filesystem::remove_all(profile, ignored);
}

// "engine::handleAnswer()::{lambda()#2}" for a callable's type: the function
// that made it, without namespaces' "tavrino::" or parameter lists.
std::string readable(const std::type_info& type) {
  int status = 0;
  char* name = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::string full = status == 0 && name ? name : type.name();
  std::free(name);
  for (std::size_t at; (at = full.find("(anonymous namespace)::")) != std::string::npos;) {
    full.erase(at, 23);
  }
  std::string text;
  int depth = 0;
  for (const char c : full) {
    if (c == ')') --depth;
    if (depth == 0) text += c;
    if (c == '(') ++depth;
  }
  for (std::size_t at; (at = text.find("tavrino::")) != std::string::npos;) text.erase(at, 9);
  return text;
}

std::string milliseconds(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f ms", ms);
  return text;
}

void summarise(const Player& player, const std::vector<Picture>& drawn, const Scenario& scenario,
               const std::filesystem::path& pictures, const MainLoopCost* cost,
               Timeline& timeline) {
  std::map<std::string, int> decisions;
  for (const auto& entry : timeline.entries()) {
    if (entry.kind == EntryKind::sdk && entry.data.contains("decision")) {
      ++decisions[entry.data["decision"].get<std::string>()];
    }
  }
  std::map<std::string, int> hitsByPath;
  for (const auto& hit : player.hits()) ++hitsByPath[hit.path];

  QivInbox inbox;
  if (!scenario.sdk.appGroup.empty()) inbox.setStoreName(scenario.sdk.appGroup);
  auto messages = nlohmann::ordered_json::array();
  for (const auto& m : inbox.getAllMessages()) {
    messages.push_back({{"id", m.id},
                        {"category", m.category},
                        {"title", m.title},
                        {"status", m.status},
                        {"channel", m.channel}});
  }
  int pngs = 0;
  for (const auto& picture : drawn) pngs += picture.png ? 1 : 0;

  std::string text = std::to_string(player.campaignViewsShown()) + " campaign views shown, " +
                     std::to_string(player.hits().size()) + " hits, " +
                     std::to_string(messages.size()) + " inbox messages, " +
                     std::to_string(player.warnings()) + " warnings";
  if (player.unsupportedSteps() > 0) {
    text += ", " + std::to_string(player.unsupportedSteps()) + " steps not supported by this build";
  }
  text += "\npictures: " + pictures.string();
  if (cost && cost->sdk.tasks > 0) {
    const auto describe = [&text](const LoopWork& work, const std::string& what) {
      text += "\n" + what + ": " + std::to_string(work.tasks) + ", median " +
              milliseconds(work.median) + ", 99th percentile " + milliseconds(work.p99) +
              ", total " + milliseconds(work.total) + ", longest:";
      for (const auto& [ms, name] : work.slowest) text += "\n  " + milliseconds(ms) + "  " + name;
    };
    describe(cost->sdk, "SDK tasks on the GTK main loop");
    describe(cost->toolkit, "the platform's own idle work (toolkit, not SDK tasks)");
  }
  Entry entry{EntryKind::summary, text};
  if (cost && cost->sdk.tasks > 0) {
    const auto figures = [](const LoopWork& work) {
      return Json{{"tasks", work.tasks},
                  {"medianMs", work.median},
                  {"p99Ms", work.p99},
                  {"totalMs", work.total},
                  {"longestMs", work.slowest.front().first},
                  {"longest", work.slowest.front().second},
                  {"slowest", work.slowest}};
    };
    entry.data["mainLoop"] = figures(cost->sdk);
    if (cost->toolkit.tasks > 0) entry.data["mainLoop"]["toolkit"] = figures(cost->toolkit);
  }
  entry.data["campaignViews"] = player.campaignViewsShown();
  entry.data["decisions"] = decisions;
  entry.data["hits"] = hitsByPath;
  entry.data["hitCount"] = player.hits().size();
  entry.data["inbox"] = messages;
  entry.data["pictures"] = pictures.string();
  entry.data["pictureCount"] = drawn.size();
  entry.data["pngCount"] = pngs;
  entry.data["warnings"] = player.warnings();
  entry.data["unsupported"] = player.unsupportedSteps();
  timeline.emit(std::move(entry));
}

}  // namespace

int runSimulation(const Options& options, std::FILE* out, std::FILE* err) {
  std::string error;
  const auto scenario = Scenario::load(options.scenarioFile, &error);
  if (!scenario) {
    std::fprintf(err, "tavrino-sim: %s\n", error.c_str());
    return 1;
  }
  service::Scenario answers;
  if (!options.serviceUrl && !scenario->serviceScenario.empty()) {
    auto loaded = service::Scenario::load(scenario->serviceScenario, &error);
    if (!loaded) {
      std::fprintf(err, "tavrino-sim: service scenario %s: %s\n",
                   scenario->serviceScenario.string().c_str(), error.c_str());
      return 1;
    }
    answers = std::move(*loaded);
  }
  // The notification extension takes the run's folders as its own, and an
  // attachment names its file by absolute path: every path handed on is one.
  std::error_code absoluteError;
  const auto folder = std::filesystem::absolute(options.outputFolder, absoluteError);
  if (absoluteError || !prepareOutputFolder(folder, &error)) {
    if (absoluteError) error = absoluteError.message();
    std::fprintf(err, "tavrino-sim: %s\n", error.c_str());
    return 1;
  }
  const auto pictureFolder = folder / "pictures";
  std::filesystem::create_directories(pictureFolder);

  Timeline timeline(out, options.style);
  auto router = std::make_shared<LineRouter>(timeline, *scenario, options.verbose);
  const auto sink = [router](std::string_view line, bool console) { router->line(line, console); };
  std::string pictureKind = "HTML pages";
  std::unique_ptr<WindowMode> window;
#ifdef TAVRINO_SIM_WINDOW
  if (options.png) {
    window = openWindowMode(&error);
    pictureKind =
        window ? "screenshots of " + window->where() : "HTML pages (no window: " + error + ")";
  }
#endif
  std::unique_ptr<SimPlatform> installed;
  if (window) {
    auto state = std::make_shared<platform::LinuxApplication>();
    auto sim = std::make_shared<SimPlatform*>(nullptr);
    // Names each main-loop task by what it ran and the step under way.
    auto name = [router, sim](const std::type_info& outer) {
      const std::type_info* inner = *sim ? (*sim)->takeMainWork() : nullptr;
      return readable(inner ? *inner : outer) + " during " + router->stepLabel();
    };
    installed = std::make_unique<SimPlatform>(
        window->makePlatform({.dataDirectory = folder / "data"}, state, name), sink, state);
    *sim = installed.get();
  } else {
    installed = std::make_unique<SimPlatform>(
        platform::makeLinuxPlatform(
            {.dataDirectory = folder / "data", .webEngine = std::make_shared<SimWebEngine>()}),
        sink);
  }
  SimPlatform& platform = *installed;
  platform::install(std::move(installed));

  service::Service service(std::move(answers));
  std::unique_ptr<HitSource> hits;
  std::string base;
  if (options.serviceUrl) {
    bool recording = false;
    hits = remoteHits(*options.serviceUrl, &recording, &error);
    if (!hits) {
      router->detach();
      std::fprintf(err, "tavrino-sim: %s\n", error.c_str());
      return 1;
    }
    if (!recording) hits.reset();
    base = *options.serviceUrl;
  } else {
    base = service.start();
    if (base.empty()) {
      router->detach();
      std::fprintf(err, "tavrino-sim: cannot start the reference service on a loopback port\n");
      return 1;
    }
    hits = inProcessHits(service);
  }

  Entry start{EntryKind::start, "scenario \"" + scenario->name + "\" against " + base +
                                    (options.serviceUrl ? "" : " (in-process reference service)") +
                                    "\noutput: " + folder.string()};
  start.data["scenario"] = scenario->name;
  start.data["service"] = base;
  start.data["output"] = folder.string();
  start.data["pictures"] = pictureFolder.string();
  start.text += "\npictures: " + pictureKind;
  start.data["pictureKind"] = window ? "window" : "html";
  timeline.emit(std::move(start));
  if (!hits) {
    timeline.emit(EntryKind::warning,
                  "the service has no control endpoint: the hits it receives are not shown");
  }
  {
    HostApp host(*scenario, base, folder / "data", timeline, options.verbose);
    Player player(*scenario, platform, host, timeline, hits.get(), pictureFolder);
    if (window) {
      window->show(host.window());
      player.useWindow(*window);
    }
    player.play();
    timeline.setStep(0);
    std::vector<Picture> pictures = player.pictures();
    if (options.png && !window) takeScreenshots(pictures, folder, timeline);
    const auto cost = window ? std::optional(window->cost()) : std::nullopt;
    summarise(player, pictures, *scenario, pictureFolder, cost ? &*cost : nullptr, timeline);
  }
  // The desktop platform (its web views, its notification centre) goes
  // before the display and the bus it uses.
  if (window) platform::install(platform::makeLinuxPlatform({.dataDirectory = folder / "data"}));
  window.reset();
  router->detach();
  return 0;
}

}  // namespace tavrino::sim
