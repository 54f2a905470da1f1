#pragma once

// The main queue on a GLib main context: the host's GTK main loop carries
// the SDK's work, delayed work and timers, so nothing the SDK does waits on
// a loop of its own. The global queues stay another dispatch's thread pool.

#include <glib.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "tavrino/gtk/platform.hpp"
#include "tavrino/platform/dispatch.hpp"
#include "tavrino/platform/log.hpp"

namespace tavrino::gtk {

class GlibDispatch final : public platform::Dispatch {
 public:
  // Runs main-queue work on context (null: the default one), global work on
  // workers' queues; what a task throws goes to log. The constructing thread
  // is the main thread until the context runs work elsewhere. observer, when
  // set, is told how long each task took.
  GlibDispatch(GMainContext* context, platform::Dispatch& workers, platform::Log& log,
               std::function<void(const MainTaskRun&)> observer = {});
  ~GlibDispatch() override;

  using Dispatch::mainAsync;
  using Dispatch::mainAsyncAfter;

  void mainAsync(platform::Task task) override;
  void mainAsyncAfter(platform::Clock::Duration delay, platform::Task task) override;
  std::shared_ptr<platform::Timer> scheduledTimer(platform::Clock::Duration interval,
                                                  std::function<void()> block) override;
  void globalAsync(platform::QualityOfService qos, platform::Task task) override;
  bool isMainThread() const override;
  void run() override;
  void stop() override;
  std::size_t runUntilIdle() override;
  void runFor(platform::Clock::Duration span) override;
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds realTimeout) override;

  // Runs the platform's own toolkit work on an idle turn of the context at
  // priority (after redraws and the SDK's tasks at the idle priorities); the
  // observer hears of it as platform work, not as an SDK task.
  void toolkitIdle(platform::Task task, int priority);

 private:
  struct Pending;
  void attach(GSource* source, Pending* pending);
  static gboolean fire(gpointer data);
  static void release(gpointer data);
  void runGuarded(const std::function<void()>& task, bool toolkit = false);

  GMainContext* context_;
  platform::Dispatch& workers_;
  platform::Log& log_;
  std::function<void(const MainTaskRun&)> observer_;
  GMainLoop* loop_;
  std::atomic<std::thread::id> mainThread_;
  std::atomic<std::size_t> ran_{0};
  // Sources still attached, destroyed with the dispatch so no task outlives it.
  std::mutex mu_;
  std::set<GSource*> sources_;
};

}  // namespace tavrino::gtk
