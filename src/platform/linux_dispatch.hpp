#pragma once

#include <memory>

#include "platform/main_run_loop.hpp"
#include "platform/thread_pool.hpp"
#include "tavrino/platform/dispatch.hpp"

namespace tavrino::platform {

class LinuxDispatch final : public Dispatch {
 public:
  explicit LinuxDispatch(std::shared_ptr<Clock> clock, std::size_t globalThreads = 4);

  using Dispatch::mainAsync;
  using Dispatch::mainAsyncAfter;

  void mainAsync(Task task) override { loop_.post(Clock::Duration::zero(), std::move(task)); }
  void mainAsyncAfter(Clock::Duration delay, Task task) override {
    loop_.post(delay, std::move(task));
  }
  std::shared_ptr<Timer> scheduledTimer(Clock::Duration interval,
                                        std::function<void()> block) override {
    return loop_.scheduleTimer(interval, std::move(block));
  }
  void globalAsync(QualityOfService qos, Task task) override { pool_.post(qos, std::move(task)); }
  bool isMainThread() const override { return loop_.isMainThread(); }
  void run() override { loop_.run(); }
  void stop() override { loop_.stop(); }
  std::size_t runUntilIdle() override { return loop_.runUntilIdle(); }
  void runFor(Clock::Duration span) override { loop_.runFor(span); }
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) override {
    return loop_.runUntil(done, timeout);
  }
  // Not part of Dispatch: a diagnostic hook of this platform's run loop.
  void setTaskObserver(std::shared_ptr<TaskObserver> observer) {
    loop_.setTaskObserver(std::move(observer));
  }

  // Finishes the global queues' work and stops their threads.
  void shutdown() { pool_.shutdown(); }

 private:
  MainRunLoop loop_;
  ThreadPool pool_;
};

}  // namespace tavrino::platform
