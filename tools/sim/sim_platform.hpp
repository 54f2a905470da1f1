#pragma once

// The Linux platform as the simulator installs it: every service is the
// Linux one, but the log lines reach the simulator instead of standard error,
// and the dispatcher and URL session count the work still under way, so the
// simulator knows when the SDK has settled after a step.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <typeinfo>

#include "tavrino/platform/linux_application.hpp"
#include "tavrino/platform/platform.hpp"

namespace tavrino::sim {

class SimPlatform final : public platform::PlatformWrapper {
 public:
  // Receives each log line (console false) or console line (console true),
  // on whatever thread wrote it.
  using LineSink = std::function<void(std::string_view line, bool console)>;

  // state, when given, is the reference application state behind target's
  // application (a desktop application keeps one).
  SimPlatform(std::unique_ptr<platform::Platform> target, LineSink sink,
              std::shared_ptr<platform::LinuxApplication> state = nullptr);
  ~SimPlatform() override;

  platform::Log& log() override;
  platform::Dispatch& dispatch() override;
  platform::URLSession& urlSession() override;

  // Work posted to any queue (delayed main-queue work due within a few
  // seconds included) or transfers that have not completed yet.
  int workUnderWay() const { return *underWay_; }
  // Bumped whenever work starts or ends, and by touch().
  std::uint64_t activity() const { return *activity_; }
  void touch() { ++*activity_; }

  // The installed platform's reference application state (what it opened,
  // its key window...), or null.
  static platform::LinuxApplication* applicationState();
  // The callable the last main-queue task posted through this platform ran,
  // once (null after): the wrapper that counts it hides it from the queue.
  const std::type_info* takeMainWork() { return mainWork_.exchange(nullptr); }

 private:
  class SinkLog;
  class CountingDispatch;
  class CountingSession;

  std::shared_ptr<std::atomic<int>> underWay_ = std::make_shared<std::atomic<int>>(0);
  std::shared_ptr<std::atomic<std::uint64_t>> activity_ =
      std::make_shared<std::atomic<std::uint64_t>>(0);
  std::shared_ptr<platform::LinuxApplication> state_;
  std::atomic<const std::type_info*> mainWork_{nullptr};
  std::unique_ptr<SinkLog> log_;
  std::unique_ptr<CountingDispatch> dispatch_;
  std::unique_ptr<CountingSession> session_;
};

}  // namespace tavrino::sim
