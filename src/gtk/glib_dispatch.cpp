#include "gtk/glib_dispatch.hpp"

#include <algorithm>
#include <exception>
#include <string>

namespace tavrino::gtk {

struct GlibDispatch::Pending {
  GlibDispatch* owner;
  GSource* source;
  platform::Task task;                     // one-shot work
  std::shared_ptr<platform::Timer> timer;  // repeating work
  std::shared_ptr<std::function<void()>> block;
  bool toolkit = false;
};

namespace {

guint milliseconds(platform::Clock::Duration span) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(span).count();
  return ms <= 0 ? 0 : static_cast<guint>(std::min<long long>(ms, G_MAXUINT));
}

GSource* sourceAfter(platform::Clock::Duration delay) {
  const guint ms = milliseconds(delay);
  return ms == 0 ? g_idle_source_new() : g_timeout_source_new(ms);
}

gboolean keepTicking(gpointer) {
  return G_SOURCE_CONTINUE;
}

}  // namespace

GlibDispatch::GlibDispatch(GMainContext* context, platform::Dispatch& workers, platform::Log& log,
                           std::function<void(const MainTaskRun&)> observer)
    : context_(g_main_context_ref(context ? context : g_main_context_default())),
      workers_(workers),
      log_(log),
      observer_(std::move(observer)),
      loop_(g_main_loop_new(context_, FALSE)),
      mainThread_(std::this_thread::get_id()) {
  if (observer_) platform::setMainTaskLabels(true);
}

GlibDispatch::~GlibDispatch() {
  std::set<GSource*> sources;
  {
    std::lock_guard lock(mu_);
    sources.swap(sources_);
  }
  for (GSource* source : sources) {
    g_source_destroy(source);
    g_source_unref(source);
  }
  g_main_loop_unref(loop_);
  g_main_context_unref(context_);
}

void GlibDispatch::attach(GSource* source, Pending* pending) {
  pending->owner = this;
  pending->source = source;
  // Equal priorities dispatch in the order attached: FIFO among due work.
  if (!pending->toolkit) g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_set_callback(source, &GlibDispatch::fire, pending, &GlibDispatch::release);
  {
    std::lock_guard lock(mu_);
    sources_.insert(g_source_ref(source));
  }
  g_source_attach(source, context_);  // wakes the context from any thread
  g_source_unref(source);
}

void GlibDispatch::release(gpointer data) {
  auto* pending = static_cast<Pending*>(data);
  GlibDispatch* owner = pending->owner;
  {
    std::lock_guard lock(owner->mu_);
    if (owner->sources_.erase(pending->source) == 1) g_source_unref(pending->source);
  }
  delete pending;
}

gboolean GlibDispatch::fire(gpointer data) {
  auto* pending = static_cast<Pending*>(data);
  GlibDispatch& owner = *pending->owner;
  owner.mainThread_.store(std::this_thread::get_id());
  // The work runs from copies: it may end the dispatch, and its sources.
  if (const auto timer = pending->timer) {
    if (!timer->isValid()) return G_SOURCE_REMOVE;
    const auto block = pending->block;
    owner.runGuarded(*block);
    return timer->isValid() ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
  }
  const auto task = std::move(pending->task);
  owner.runGuarded(task, pending->toolkit);
  return G_SOURCE_REMOVE;
}

void GlibDispatch::runGuarded(const std::function<void()>& task, bool toolkit) {
  ++ran_;
  std::chrono::steady_clock::time_point start;
  if (observer_) {
    platform::takeMainTaskLabel();  // a label left by work nobody timed
    start = std::chrono::steady_clock::now();
  }
  try {
    if (task) task();
  } catch (const std::exception& e) {
    log_.log(std::string("main queue task failed: ") + e.what());
  } catch (...) {
    log_.log("main queue task failed");
  }
  if (observer_) {
    observer_({std::chrono::steady_clock::now() - start, task.target_type(),
               platform::takeMainTaskLabel(), toolkit});
  }
}

void GlibDispatch::mainAsync(platform::Task task) {
  attach(g_idle_source_new(), new Pending{nullptr, nullptr, std::move(task), nullptr, nullptr});
}

void GlibDispatch::toolkitIdle(platform::Task task, int priority) {
  GSource* source = g_idle_source_new();
  g_source_set_priority(source, priority);
  attach(source, new Pending{nullptr, nullptr, std::move(task), nullptr, nullptr, true});
}

void GlibDispatch::mainAsyncAfter(platform::Clock::Duration delay, platform::Task task) {
  attach(sourceAfter(delay), new Pending{nullptr, nullptr, std::move(task), nullptr, nullptr});
}

std::shared_ptr<platform::Timer> GlibDispatch::scheduledTimer(platform::Clock::Duration interval,
                                                              std::function<void()> block) {
  auto timer = std::make_shared<platform::Timer>();
  attach(
      g_timeout_source_new(std::max<guint>(1, milliseconds(interval))),
      new Pending{
          nullptr, nullptr, {}, timer, std::make_shared<std::function<void()>>(std::move(block))});
  return timer;
}

void GlibDispatch::globalAsync(platform::QualityOfService qos, platform::Task task) {
  workers_.globalAsync(qos, std::move(task));
}

bool GlibDispatch::isMainThread() const {
  return mainThread_.load() == std::this_thread::get_id();
}

void GlibDispatch::run() {
  mainThread_.store(std::this_thread::get_id());
  g_main_loop_run(loop_);
}

void GlibDispatch::stop() {
  g_main_loop_quit(loop_);
}

std::size_t GlibDispatch::runUntilIdle() {
  mainThread_.store(std::this_thread::get_id());
  const std::size_t before = ran_.load();
  while (g_main_context_iteration(context_, FALSE)) {
  }
  return ran_.load() - before;
}

void GlibDispatch::runFor(platform::Clock::Duration span) {
  runUntil([] { return false; }, std::chrono::duration_cast<std::chrono::milliseconds>(span));
}

bool GlibDispatch::runUntil(const std::function<bool()>& done,
                            std::chrono::milliseconds realTimeout) {
  mainThread_.store(std::this_thread::get_id());
  const auto deadline = std::chrono::steady_clock::now() + realTimeout;
  // Wakes the blocking iterations now and then, so a condition another
  // thread makes true without posting is still seen.
  GSource* tick = g_timeout_source_new(10);
  g_source_set_callback(tick, &keepTicking, nullptr, nullptr);
  g_source_attach(tick, context_);
  bool finished = false;
  while (!(finished = done()) && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(context_, TRUE);
  }
  g_source_destroy(tick);
  g_source_unref(tick);
  return finished;
}

}  // namespace tavrino::gtk
