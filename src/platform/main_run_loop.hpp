#pragma once

// The main queue and its run loop: work ordered by due time on the platform
// clock, FIFO among equal due times, pumped by whichever thread calls the run
// methods (that thread is the main thread).

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <queue>
#include <thread>
#include <vector>

#include "tavrino/platform/clock.hpp"
#include "tavrino/platform/dispatch.hpp"

namespace tavrino::platform {

class MainRunLoop {
 public:
  explicit MainRunLoop(std::shared_ptr<Clock> clock);
  ~MainRunLoop();
  MainRunLoop(const MainRunLoop&) = delete;
  MainRunLoop& operator=(const MainRunLoop&) = delete;

  void post(Clock::Duration delay, Task task);
  std::shared_ptr<Timer> scheduleTimer(Clock::Duration interval, std::function<void()> block);

  bool isMainThread() const;
  void run();
  void stop();
  std::size_t runUntilIdle();
  void runFor(Clock::Duration span);
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds realTimeout);

 private:
  struct Entry {
    Clock::Duration due;
    std::uint64_t sequence;
    Task task;
    std::shared_ptr<Timer> timer;  // set for repeating timers
    std::shared_ptr<std::function<void()>> block;
    Clock::Duration interval{};
  };
  struct Later {
    bool operator()(const Entry& a, const Entry& b) const {
      return a.due != b.due ? a.due > b.due : a.sequence > b.sequence;
    }
  };

  void enterAsMainThread();
  void push(Entry entry);
  // Runs one entry that is due now. Returns false iff none is due.
  bool runOneDue();
  std::optional<Clock::Duration> nextDue();
  // Returns true iff stop() was called since the last look, and forgets it.
  bool takeStopRequest();
  // Waits until work may be due, stop() is called or the real deadline passes.
  void waitForWork(std::chrono::steady_clock::time_point realDeadline);

  std::shared_ptr<Clock> clock_;
  std::uint64_t observerId_ = 0;
  mutable std::mutex mu_;
  std::condition_variable wake_;
  std::priority_queue<Entry, std::vector<Entry>, Later> queue_;
  std::uint64_t nextSequence_ = 0;
  std::uint64_t wakeups_ = 0;  // bumped by posts and clock jumps
  bool stopRequested_ = false;
  std::thread::id mainThread_;
};

}  // namespace tavrino::platform
