#include "platform/main_run_loop.hpp"

#include <algorithm>
#include <utility>

namespace tavrino::platform {

MainRunLoop::MainRunLoop(std::shared_ptr<Clock> clock)
    : clock_(std::move(clock)), mainThread_(std::this_thread::get_id()) {
  observerId_ = clock_->addObserver([this] {
    std::lock_guard lock(mu_);
    ++wakeups_;
    wake_.notify_all();
  });
}

MainRunLoop::~MainRunLoop() {
  clock_->removeObserver(observerId_);
}

void MainRunLoop::push(Entry entry) {
  std::lock_guard lock(mu_);
  entry.sequence = nextSequence_++;
  queue_.push(std::move(entry));
  ++wakeups_;
  wake_.notify_all();
}

void MainRunLoop::post(Clock::Duration delay, Task task) {
  Entry entry;
  entry.due = clock_->now() + std::max(delay, Clock::Duration::zero());
  entry.task = std::move(task);
  push(std::move(entry));
}

std::shared_ptr<Timer> MainRunLoop::scheduleTimer(Clock::Duration interval,
                                                  std::function<void()> block) {
  auto timer = std::make_shared<Timer>();
  Entry entry;
  entry.interval = std::max(interval, Clock::Duration(1));
  entry.due = clock_->now() + entry.interval;
  entry.timer = timer;
  entry.block = std::make_shared<std::function<void()>>(std::move(block));
  push(std::move(entry));
  return timer;
}

bool MainRunLoop::isMainThread() const {
  std::lock_guard lock(mu_);
  return mainThread_ == std::this_thread::get_id();
}

void MainRunLoop::enterAsMainThread() {
  std::lock_guard lock(mu_);
  mainThread_ = std::this_thread::get_id();
}

void MainRunLoop::setTaskObserver(std::shared_ptr<TaskObserver> observer) {
  std::lock_guard lock(mu_);
  observer_ = std::move(observer);
}

void MainRunLoop::runObserved(const std::function<void()>& task) {
  std::shared_ptr<TaskObserver> observer;
  {
    std::lock_guard lock(mu_);
    observer = observer_;
  }
  if (!observer) {
    task();
    return;
  }
  struct Around {
    TaskObserver& observer;
    explicit Around(TaskObserver& o) : observer(o) { observer.willRunTask(); }
    ~Around() { observer.didRunTask(); }
  } around(*observer);
  task();
}

bool MainRunLoop::runOneDue() {
  Entry entry;
  {
    std::lock_guard lock(mu_);
    if (queue_.empty() || queue_.top().due > clock_->now()) return false;
    entry = std::move(const_cast<Entry&>(queue_.top()));
    queue_.pop();
  }
  if (!entry.timer) {
    if (entry.task) runObserved(entry.task);
    return true;
  }
  if (!entry.timer->isValid()) return true;
  runObserved(*entry.block);
  if (!entry.timer->isValid()) return true;
  // Like the platform's timers, fires missed while the loop was busy (or the
  // clock jumped) collapse into one; the schedule keeps its phase.
  const Clock::Duration now = clock_->now();
  Clock::Duration next = entry.due + entry.interval;
  if (next <= now) next += ((now - next) / entry.interval + 1) * entry.interval;
  entry.due = next;
  entry.task = nullptr;
  push(std::move(entry));
  return true;
}

std::size_t MainRunLoop::runUntilIdle() {
  enterAsMainThread();
  std::size_t count = 0;
  while (runOneDue()) ++count;
  return count;
}

std::optional<Clock::Duration> MainRunLoop::nextDue() {
  std::lock_guard lock(mu_);
  if (queue_.empty()) return std::nullopt;
  return queue_.top().due;
}

void MainRunLoop::waitForWork(std::chrono::steady_clock::time_point realDeadline) {
  std::unique_lock lock(mu_);
  // Work posted (or made due by the clock) after the caller last looked but
  // before this lock was taken has already bumped the wake-up count: without
  // this check it would be missed and the loop could sleep forever.
  const auto dueNow = [&] { return !queue_.empty() && queue_.top().due <= clock_->now(); };
  if (stopRequested_ || dueNow()) return;
  const std::uint64_t seen = wakeups_;
  auto deadline = realDeadline;
  if (!clock_->isManual() && !queue_.empty()) {
    const auto untilDue = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        queue_.top().due - clock_->now());
    deadline = std::min(deadline, std::chrono::steady_clock::now() + untilDue);
  }
  wake_.wait_until(lock, deadline, [&] { return stopRequested_ || wakeups_ != seen || dueNow(); });
}

void MainRunLoop::run() {
  enterAsMainThread();
  for (;;) {
    runUntilIdle();
    if (takeStopRequest()) return;
    waitForWork(std::chrono::steady_clock::time_point::max());
  }
}

bool MainRunLoop::takeStopRequest() {
  std::lock_guard lock(mu_);
  return std::exchange(stopRequested_, false);
}

void MainRunLoop::stop() {
  std::lock_guard lock(mu_);
  stopRequested_ = true;
  wake_.notify_all();
}

void MainRunLoop::runFor(Clock::Duration span) {
  enterAsMainThread();
  const Clock::Duration end = clock_->now() + span;
  auto* manual = dynamic_cast<ManualClock*>(clock_.get());
  for (;;) {
    runUntilIdle();
    if (takeStopRequest()) return;
    if (clock_->now() >= end) return;
    const auto next = nextDue();
    if (manual) {
      manual->setTime(next && *next < end ? std::max(*next, clock_->now()) : end);
      continue;
    }
    const auto realEnd =
        std::chrono::steady_clock::now() +
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(end - clock_->now());
    waitForWork(realEnd);
  }
}

bool MainRunLoop::runUntil(const std::function<bool()>& done,
                           std::chrono::milliseconds realTimeout) {
  enterAsMainThread();
  const auto deadline = std::chrono::steady_clock::now() + realTimeout;
  for (;;) {
    runUntilIdle();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    // Work on other threads may finish without posting; look again soon.
    waitForWork(
        std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(5)));
  }
}

}  // namespace tavrino::platform
