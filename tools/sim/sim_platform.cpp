#include "sim/sim_platform.hpp"

namespace tavrino::sim {
namespace {

// Delayed work due later than this is a timer of the application's life, not
// part of what a step sets off.
constexpr std::chrono::seconds kSettleHorizon{5};

// Counts one piece of work from its posting until it ran or was dropped.
class Pending {
 public:
  Pending(std::shared_ptr<std::atomic<int>> count, std::shared_ptr<std::atomic<std::uint64_t>> act)
      : count_(std::move(count)), activity_(std::move(act)) {
    ++*count_;
    ++*activity_;
  }
  ~Pending() { finish(); }
  Pending(const Pending&) = delete;
  Pending& operator=(const Pending&) = delete;

  void finish() {
    if (finished_.exchange(true)) return;
    --*count_;
    ++*activity_;
  }

 private:
  std::shared_ptr<std::atomic<int>> count_;
  std::shared_ptr<std::atomic<std::uint64_t>> activity_;
  std::atomic<bool> finished_{false};
};

}  // namespace

class SimPlatform::SinkLog final : public platform::Log {
 public:
  SinkLog(LineSink sink, std::shared_ptr<std::atomic<std::uint64_t>> activity)
      : sink_(std::move(sink)), activity_(std::move(activity)) {}
  void log(std::string_view line) override {
    ++*activity_;
    sink_(line, false);
  }
  void console(std::string_view line) override {
    ++*activity_;
    sink_(line, true);
  }

 private:
  LineSink sink_;
  std::shared_ptr<std::atomic<std::uint64_t>> activity_;
};

class SimPlatform::CountingDispatch final : public platform::Dispatch {
 public:
  CountingDispatch(platform::Dispatch& target, SimPlatform& owner)
      : target_(target), owner_(owner) {}

  void mainAsync(platform::Task task) override {
    target_.mainAsync(counted(std::move(task), true));
  }
  void mainAsyncAfter(platform::Clock::Duration delay, platform::Task task) override {
    if (delay <= kSettleHorizon) task = counted(std::move(task), true);
    target_.mainAsyncAfter(delay, std::move(task));
  }
  std::shared_ptr<platform::Timer> scheduledTimer(platform::Clock::Duration interval,
                                                  std::function<void()> block) override {
    return target_.scheduledTimer(interval, std::move(block));
  }
  void globalAsync(platform::QualityOfService qos, platform::Task task) override {
    target_.globalAsync(qos, counted(std::move(task), false));
  }
  bool isMainThread() const override { return target_.isMainThread(); }
  void run() override { target_.run(); }
  void stop() override { target_.stop(); }
  std::size_t runUntilIdle() override { return target_.runUntilIdle(); }
  void runFor(platform::Clock::Duration span) override { target_.runFor(span); }
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) override {
    return target_.runUntil(done, timeout);
  }

 private:
  platform::Task counted(platform::Task task, bool onMain) {
    auto pending = std::make_shared<Pending>(owner_.underWay_, owner_.activity_);
    return [task = std::move(task), pending, onMain, owner = &owner_] {
      struct Finish {
        Pending& p;
        ~Finish() { p.finish(); }
      } finish{*pending};
      if (onMain) owner->mainWork_.store(&task.target_type());
      task();
    };
  }

  platform::Dispatch& target_;
  SimPlatform& owner_;
};

class SimPlatform::CountingSession final : public platform::URLSession {
 public:
  CountingSession(platform::URLSession& target, SimPlatform& owner)
      : target_(target), owner_(owner) {}

  void dataTask(platform::URLRequest request, platform::DataTaskCompletion completion) override {
    auto pending = std::make_shared<Pending>(owner_.underWay_, owner_.activity_);
    target_.dataTask(std::move(request),
                     [completion = std::move(completion), pending](
                         std::optional<Data> data, std::optional<platform::URLResponse> response,
                         std::optional<platform::URLError> error) {
                       struct Finish {
                         Pending& p;
                         ~Finish() { p.finish(); }
                       } finish{*pending};
                       completion(std::move(data), std::move(response), std::move(error));
                     });
  }
  bool formsURL(std::string_view text) const override { return target_.formsURL(text); }
  std::optional<Data> contentsOf(std::string_view url, std::chrono::milliseconds timeout) override {
    Pending pending(owner_.underWay_, owner_.activity_);
    return target_.contentsOf(url, timeout);
  }
  void shutdown() override { target_.shutdown(); }

 private:
  platform::URLSession& target_;
  SimPlatform& owner_;
};

SimPlatform::SimPlatform(std::unique_ptr<platform::Platform> target, LineSink sink,
                         std::shared_ptr<platform::LinuxApplication> state)
    : PlatformWrapper(std::move(target)),
      state_(std::move(state)),
      log_(std::make_unique<SinkLog>(std::move(sink), activity_)),
      dispatch_(std::make_unique<CountingDispatch>(PlatformWrapper::dispatch(), *this)),
      session_(std::make_unique<CountingSession>(PlatformWrapper::urlSession(), *this)) {}

SimPlatform::~SimPlatform() {
  // Background work and transfers end while the wrappers they call through
  // still exist.
  shutdown();
}

platform::LinuxApplication* SimPlatform::applicationState() {
  auto& installed = platform::current();
  if (auto* sim = dynamic_cast<SimPlatform*>(&installed); sim && sim->state_) {
    return sim->state_.get();
  }
  return dynamic_cast<platform::LinuxApplication*>(&installed.application());
}

platform::Log& SimPlatform::log() {
  return *log_;
}

platform::Dispatch& SimPlatform::dispatch() {
  return *dispatch_;
}

platform::URLSession& SimPlatform::urlSession() {
  return *session_;
}

}  // namespace tavrino::sim
