#pragma once

// Measures how long each task of the main run loop kept the loop busy in one
// go, and remembers the tasks that went over a frame.
//
// Busy time has two parts, judged apart so that a loaded machine does not make
// a quick task look slow: the CPU time the main thread spent on the task, and
// the time it was blocked (asleep, waiting for a lock, for I/O). Time spent
// runnable but preempted by other processes counts as neither, and neither
// does blocked time while the machine itself was short of CPU (its pressure
// stall figure): a lock holder of ours may have been the one waiting for a
// core. Tests of the watchdog itself turn that discount off. The CPU limit
// is a frame scaled by the slowdown of the sanitizers the build runs under;
// the blocking limit is a frame everywhere.

#include <mutex>
#include <string>
#include <vector>

#include "platform/main_run_loop.hpp"

namespace tavrino::testing {

// What one task cost, in milliseconds.
struct TaskCost {
  double wallMs = 0;
  double cpuMs = 0;
  double blockedMs = 0;
};

// The busiest tasks seen, and how many tasks were watched.
struct WorstTasks {
  std::size_t tasks = 0;
  TaskCost cpu;
  TaskCost blocked;
};

struct StallLimits {
  double cpuMs;
  double blockedMs;
};

inline constexpr double kFrameMs = 16;

// A frame for blocking; for CPU a frame times the build's sanitizer slowdown.
StallLimits defaultStallLimits();

class MainLoopWatchdog final : public platform::TaskObserver {
 public:
  explicit MainLoopWatchdog(StallLimits limits = defaultStallLimits());

  void willRunTask() override;
  void didRunTask() override;

  StallLimits limits() const { return limits_; }
  // Whether blocked time is discounted by the machine's CPU pressure (on).
  void setDiscountMachineContention(bool on) { discountContention_ = on; }
  // Returns the tasks over a limit since construction, the last reset() or the
  // last call, and forgets them (the worst figures stay).
  std::vector<TaskCost> takeStalls();
  WorstTasks worst() const;
  void reset();

 private:
  struct Sample {
    double wallMs;
    double cpuMs;
    double runDelayMs;     // runnable but not running
    double cpuPressureMs;  // negative when the machine does not tell
  };
  static Sample sample();

  const StallLimits limits_;
  int depth_ = 0;  // nested pumps run inside the outermost task
  bool discountContention_ = true;
  Sample start_{};
  mutable std::mutex mu_;
  std::vector<TaskCost> stalls_;
  WorstTasks worst_;
};

// Adds a watchdog's worst figures to the ones the test program prints at exit.
void recordWorstTasks(const MainLoopWatchdog& watchdog, const std::string& testName);

// A readable line for one stall.
std::string describe(const TaskCost& cost, const StallLimits& limits);

}  // namespace tavrino::testing
