#include "support/main_loop_watchdog.hpp"

#include <gtest/gtest.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string_view>
#include <utility>

namespace tavrino::testing {

namespace {

double clockMs(clockid_t id) {
  timespec t{};
  clock_gettime(id, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Time during which some runnable task of the machine waited for a CPU
// ("some ... total=" of the pressure stall information, in microseconds).
double cpuPressureMs() {
  std::ifstream pressure("/proc/pressure/cpu");
  std::string word;
  while (pressure >> word) {
    if (word.starts_with("total=")) return std::strtod(word.c_str() + 6, nullptr) / 1e3;
  }
  return -1;
}

// The CPU slowdown factor assumed for the sanitizers this build uses: the
// ones their own documentation gives for typical programs (AddressSanitizer
// about 2x, ThreadSanitizer 5x-15x, UndefinedBehaviorSanitizer well under
// 2x), taken at the high end so a slow CI machine does not fail a task that
// is only slow because it is instrumented.
double sanitizerSlowdown() {
#ifdef TAVRINO_SANITIZERS
  const auto factor = [on = std::string_view(TAVRINO_SANITIZERS)](const char* name, double by) {
    return on.find(name) != std::string_view::npos ? by : 1;
  };
  return factor("address", 2) * factor("undefined", 1.5) * factor("thread", 15);
#else
  return 1;
#endif
}

}  // namespace

StallLimits defaultStallLimits() {
  return {kFrameMs * sanitizerSlowdown(), kFrameMs};
}

MainLoopWatchdog::MainLoopWatchdog(StallLimits limits) : limits_(limits) {}

MainLoopWatchdog::Sample MainLoopWatchdog::sample() {
  // schedstat: time on the CPU, then time waiting on a run queue (both ns).
  std::ifstream schedstat("/proc/thread-self/schedstat");
  unsigned long long onCpu = 0, runDelay = 0;
  schedstat >> onCpu >> runDelay;
  return {clockMs(CLOCK_MONOTONIC), clockMs(CLOCK_THREAD_CPUTIME_ID), runDelay / 1e6,
          cpuPressureMs()};
}

void MainLoopWatchdog::willRunTask() {
  if (depth_++ == 0) start_ = sample();
}

void MainLoopWatchdog::didRunTask() {
  if (--depth_ != 0) return;
  const Sample end = sample();
  TaskCost cost{end.wallMs - start_.wallMs, end.cpuMs - start_.cpuMs, 0};
  // Without the run-queue figure, all off-CPU time counts as blocked.
  cost.blockedMs = cost.wallMs - cost.cpuMs - (end.runDelayMs - start_.runDelayMs);
  if (discountContention_ && start_.cpuPressureMs >= 0 && end.cpuPressureMs >= 0) {
    cost.blockedMs -= end.cpuPressureMs - start_.cpuPressureMs;
  }
  if (cost.blockedMs < 0) cost.blockedMs = 0;
  std::lock_guard lock(mu_);
  ++worst_.tasks;
  if (cost.cpuMs > worst_.cpu.cpuMs) worst_.cpu = cost;
  if (cost.blockedMs > worst_.blocked.blockedMs) worst_.blocked = cost;
  if (cost.cpuMs > limits_.cpuMs || cost.blockedMs > limits_.blockedMs) stalls_.push_back(cost);
}

std::vector<TaskCost> MainLoopWatchdog::takeStalls() {
  std::lock_guard lock(mu_);
  return std::exchange(stalls_, {});
}

WorstTasks MainLoopWatchdog::worst() const {
  std::lock_guard lock(mu_);
  return worst_;
}

void MainLoopWatchdog::reset() {
  std::lock_guard lock(mu_);
  stalls_.clear();
  worst_ = {};
}

std::string describe(const TaskCost& cost, const StallLimits& limits) {
  char line[160];
  std::snprintf(line, sizeof line,
                "%.1f ms CPU (limit %.0f), %.1f ms blocked (limit %.0f), %.1f ms wall", cost.cpuMs,
                limits.cpuMs, cost.blockedMs, limits.blockedMs, cost.wallMs);
  return line;
}

namespace {

// The worst tasks of the whole test program, printed when it ends.
class WorstTaskReport final : public ::testing::Environment {
 public:
  void add(const WorstTasks& seen, const std::string& testName) {
    std::lock_guard lock(mu_);
    tasks_ += seen.tasks;
    if (seen.cpu.cpuMs > cpu_.first) cpu_ = {seen.cpu.cpuMs, testName};
    if (seen.blocked.blockedMs > blocked_.first) blocked_ = {seen.blocked.blockedMs, testName};
  }

  void TearDown() override {
    std::lock_guard lock(mu_);
    std::printf(
        "[main loop] %zu tasks watched; worst CPU %.2f ms (%s); worst blocked %.2f ms (%s); "
        "CPU limit %.0f ms, blocking limit %.0f ms\n",
        tasks_, cpu_.first, cpu_.second.c_str(), blocked_.first, blocked_.second.c_str(),
        defaultStallLimits().cpuMs, defaultStallLimits().blockedMs);
  }

 private:
  std::mutex mu_;
  std::size_t tasks_ = 0;
  std::pair<double, std::string> cpu_{0, "-"}, blocked_{0, "-"};
};

// Registered before the tests run, so gtest calls its TearDown.
WorstTaskReport* const report =
    static_cast<WorstTaskReport*>(::testing::AddGlobalTestEnvironment(new WorstTaskReport));

}  // namespace

void recordWorstTasks(const MainLoopWatchdog& watchdog, const std::string& testName) {
  report->add(watchdog.worst(), testName);
}

}  // namespace tavrino::testing
