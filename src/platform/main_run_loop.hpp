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

// Watches the tasks the main run loop runs (posted work and timer fires),
// e.g. to measure how long one of them kept the loop busy. Both calls come on
// the main thread, around each task; a task that pumps the loop itself sees
// the tasks it runs nest inside it.
class TaskObserver {
 public:
  virtual ~TaskObserver() = default;
  virtual void willRunTask() = 0;
  virtual void didRunTask() = 0;
};

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
  // Installs the observer of the loop's tasks; nullptr removes it.
  void setTaskObserver(std::shared_ptr<TaskObserver> observer);

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
  void runObserved(const std::function<void()>& task);
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
  std::shared_ptr<TaskObserver> observer_;
  std::thread::id mainThread_;
};

}  // namespace tavrino::platform
