#pragma once

// Dispatch: the main queue with its run loop, the global queues, cancellable
// work items, delayed work and repeating timers.
//
// The host pumps the main run loop (run(), runUntilIdle(), runFor()); the
// thread that pumps it is the main thread. Work on the main queue runs in due
// order against the platform clock, FIFO among equal due times. The global
// queues are a small thread pool; their work never runs on the main thread.
//
// Thread-safety: posting, timers and work items may be used from any thread.
// The run methods must be called from one thread at a time.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/platform/clock.hpp"

namespace tavrino::platform {

// Work that runs once.
using Task = std::function<void()>;

enum class QualityOfService { userInteractive, userInitiated, defaultQoS, utility, background };

// A unit of work that can be cancelled before it runs, like the platform's
// dispatch work item. perform() runs it at most once and never after cancel().
class TAVRINO_EXPORT WorkItem {
 public:
  explicit WorkItem(Task task);

  // Runs the task unless it was cancelled or has already run.
  void perform();
  void cancel();
  bool isCancelled() const { return cancelled_.load(std::memory_order_acquire); }

 private:
  std::mutex mu_;
  Task task_;
  std::atomic<bool> cancelled_{false};
};

// A repeating timer on the main run loop. Invalidating stops further fires;
// a fire already under way completes.
class TAVRINO_EXPORT Timer {
 public:
  void invalidate() { valid_.store(false, std::memory_order_release); }
  bool isValid() const { return valid_.load(std::memory_order_acquire); }

 private:
  std::atomic<bool> valid_{true};
};

class TAVRINO_EXPORT Dispatch {
 public:
  virtual ~Dispatch();

  // Queues task on the main queue.
  virtual void mainAsync(Task task) = 0;

  // Queues task on the main queue once delay has passed on the platform clock.
  virtual void mainAsyncAfter(Clock::Duration delay, Task task) = 0;

  // Fires block on the main run loop every interval (first fire after one
  // interval) until the returned timer is invalidated.
  virtual std::shared_ptr<Timer> scheduledTimer(Clock::Duration interval,
                                                std::function<void()> block) = 0;

  // Queues task on the global queue of the given quality of service.
  virtual void globalAsync(QualityOfService qos, Task task) = 0;

  // Returns true iff the calling thread is the one pumping the main run loop
  // (or, when nobody pumps it now, the last one that did).
  virtual bool isMainThread() const = 0;

  // Runs the main loop until stop() is called.
  virtual void run() = 0;
  // Makes run() return after the work in hand; safe from any thread.
  virtual void stop() = 0;
  // Runs everything due now, including work that running work posts.
  // Returns the number of tasks run.
  virtual std::size_t runUntilIdle() = 0;
  // Runs the loop for the given span of platform time. On a manual clock the
  // clock is moved forward to each due time in turn and ends at now + span.
  virtual void runFor(Clock::Duration span) = 0;
  // Runs the loop until done() is true or realTimeout of real time passed
  // (for waits on other threads, such as network answers). Returns done().
  virtual bool runUntil(const std::function<bool()>& done,
                        std::chrono::milliseconds realTimeout) = 0;

  // Conveniences for work items.
  void mainAsync(const std::shared_ptr<WorkItem>& item);
  void mainAsyncAfter(Clock::Duration delay, const std::shared_ptr<WorkItem>& item);
};

// Labels of main-queue tasks, for a dispatch that times its tasks: while a
// task runs, the SDK notes what it is for (a campaign); the dispatch takes
// the note once the task has run. Off until such a dispatch turns them on,
// and then a thread-local string per task.
TAVRINO_EXPORT void setMainTaskLabels(bool on);
// Adds what and campaign to the note of the task running on this thread.
TAVRINO_EXPORT void labelMainTask(std::string_view what, std::string_view campaign);
// The note since the last take, then forgotten.
TAVRINO_EXPORT std::string takeMainTaskLabel();

}  // namespace tavrino::platform
