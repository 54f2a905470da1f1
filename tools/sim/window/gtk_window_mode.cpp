#include <webkit/webkit.h>

#include <algorithm>
#include <cstdlib>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "desktop_session/desktop_session.hpp"
#include "screen_capture.hpp"
#include "sim/window_mode.hpp"
#include "tavrino/gtk/desktop_notification_center.hpp"
#include "tavrino/gtk/mirror.hpp"
#include "tavrino/gtk/platform.hpp"
#include "window_texture.hpp"

namespace tavrino::sim {
namespace {

// Both the simulator's mirror and GTK's hear every change of the tree.
class BothObservers final : public ui::TreeObserver {
 public:
  BothObservers(std::shared_ptr<ui::TreeObserver> first, std::shared_ptr<ui::TreeObserver> second)
      : first_(std::move(first)), second_(std::move(second)) {}
  void viewAttached(const ui::View& view) override {
    if (first_) first_->viewAttached(view);
    second_->viewAttached(view);
  }
  void viewDetached(const ui::View& view) override {
    if (first_) first_->viewDetached(view);
    second_->viewDetached(view);
  }
  void viewChanged(const ui::View& view, ui::ViewChange change) override {
    if (first_) first_->viewChanged(view, change);
    second_->viewChanged(view, change);
  }

 private:
  std::shared_ptr<ui::TreeObserver> first_, second_;
};

using namespace std::chrono_literals;

// Runs the main loop until done() or timeout.
template <typename Done>
bool runLoopUntil(Done done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    if (!g_main_context_iteration(nullptr, FALSE)) std::this_thread::sleep_for(5ms);
  }
  return true;
}

template <typename T>
bool ready(const std::future<T>& future) {
  return future.wait_for(0s) == std::future_status::ready;
}

void collectWebViews(GtkWidget* widget, std::vector<WebKitWebView*>& out) {
  if (!gtk_widget_get_mapped(widget)) return;
  if (WEBKIT_IS_WEB_VIEW(widget)) out.push_back(WEBKIT_WEB_VIEW(widget));
  for (GtkWidget* child = gtk_widget_get_first_child(widget); child;
       child = gtk_widget_get_next_sibling(child)) {
    collectWebViews(child, out);
  }
}

void onFramesDrawn(GObject* view, GAsyncResult* result, gpointer waiting) {
  if (JSCValue* value = webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(view),
                                                                              result, nullptr)) {
    g_object_unref(value);
  }
  --*static_cast<int*>(waiting);
}

// A loaded page paints a little later, in its own process: each shown web
// view is asked to draw two frames, and the window then gets a few turns to
// take them in.
void waitForPagesToDraw(GtkWindow* window) {
  std::vector<WebKitWebView*> views;
  collectWebViews(GTK_WIDGET(window), views);
  int waiting = int(views.size());
  for (WebKitWebView* view : views) {
    webkit_web_view_call_async_javascript_function(
        view, "await new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r)));", -1,
        nullptr, nullptr, nullptr, nullptr, &onFramesDrawn, &waiting);
  }
  const gint64 deadline = g_get_monotonic_time() + 5 * G_USEC_PER_SEC;
  while (waiting > 0 && g_get_monotonic_time() < deadline) g_main_context_iteration(nullptr, TRUE);
  const gint64 settled = g_get_monotonic_time() + G_USEC_PER_SEC / 10;
  while (g_get_monotonic_time() < settled) {
    if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(5000);
  }
}

constexpr std::size_t kSlowestKept = 5;

struct Series {
  std::vector<double> ms;
  std::vector<std::pair<double, std::string>> slowest;  // longest first

  void add(double time, std::string what) {
    ms.push_back(time);
    const auto at = std::find_if(slowest.begin(), slowest.end(),
                                 [time](const auto& kept) { return kept.first < time; });
    slowest.insert(at, {time, std::move(what)});
    if (slowest.size() > kSlowestKept) slowest.pop_back();
  }
  LoopWork work() const {
    LoopWork work;
    auto sorted = ms;
    work.tasks = sorted.size();
    if (sorted.empty()) return work;
    std::sort(sorted.begin(), sorted.end());
    work.median = sorted[sorted.size() / 2];
    work.p99 = sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)];
    for (const double time : sorted) work.total += time;
    work.slowest = slowest;
    return work;
  }
};

struct TaskTimes {
  std::mutex mu;
  Series sdk, toolkit;
};

class GtkWindowMode final : public WindowMode {
 public:
  explicit GtkWindowMode(std::unique_ptr<testing::DesktopSession> session)
      : session_(std::move(session)) {}

  ~GtkWindowMode() override {
    if (gtkWindow_) gtk_window_destroy(gtkWindow_);
    mirror_.reset();
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    // A display whose server goes away under it ends the process.
    if (session_) gdk_display_close(gdk_display_get_default());
  }

  std::string where() const override {
    const char* display = std::getenv("DISPLAY");
    std::string where = "a GTK window on display " + std::string(display ? display : "?");
    if (!session_) return where;
    return where + (session_->hasNotificationServer()
                        ? " (a private X server; notifications as the notification server draws "
                          "them, from the whole screen)"
                        : " (a private X server; no notification server)");
  }

  std::unique_ptr<platform::Platform> makePlatform(
      platform::LinuxPlatformOptions base, std::shared_ptr<platform::LinuxApplication> state,
      std::function<std::string(const std::type_info&)> name) override {
    base.application = std::move(state);
    gtk::GtkPlatformOptions options;
    options.base = std::move(base);
    options.taskObserver = [times = times_, name = std::move(name)](const gtk::MainTaskRun& run) {
      const double ms = std::chrono::duration<double, std::milli>(run.duration).count();
      // Named every time: naming consumes what the task ran.
      std::string what = name(run.work);
      if (!run.label.empty()) {
        what.insert(std::min(what.find(" during "), what.size()), " for " + run.label);
      }
      std::lock_guard lock(times->mu);
      (run.toolkit ? times->toolkit : times->sdk).add(ms, std::move(what));
    };
    return gtk::withDesktopNotifications(gtk::makeGtkPlatform(std::move(options)),
                                         {.applicationName = "tavrino-sim"});
  }

  void show(const std::shared_ptr<ui::Window>& window) override {
    mirror_ = std::make_shared<gtk::Mirror>(window);
    window->setTreeObserver(std::make_shared<BothObservers>(window->treeObserver(), mirror_));
    gtkWindow_ = GTK_WINDOW(gtk_window_new());
    gtk_window_set_title(gtkWindow_, "tavrino-sim");
    gtk_window_set_resizable(gtkWindow_, FALSE);
    const ui::Rect bounds = window->bounds();
    gtk_window_set_default_size(gtkWindow_, int(bounds.width()), int(bounds.height()));
    gtk_widget_set_size_request(mirror_->layer(), int(bounds.width()), int(bounds.height()));
    gtk_window_set_child(gtkWindow_, mirror_->layer());
    gtk_window_present(gtkWindow_);
  }

  bool screenshot(const std::filesystem::path& png) override {
    if (!gtkWindow_ || !gtk_widget_get_mapped(GTK_WIDGET(gtkWindow_))) return false;
    waitForPagesToDraw(gtkWindow_);
    GdkTexture* texture = renderWindow(gtkWindow_);
    const bool saved = texture && gdk_texture_save_to_png(texture, png.c_str());
    if (texture) g_object_unref(texture);
    return saved;
  }

  MainLoopCost cost() const override {
    std::lock_guard lock(times_->mu);
    return {times_->sdk.work(), times_->toolkit.work()};
  }

  std::optional<ServerNotification> showNotification(platform::NotificationRequest request,
                                                     std::string* why) override {
    auto* center = dynamic_cast<gtk::DesktopNotificationCenter*>(
        &platform::current().userNotificationCenter());
    if (!center) {
      *why = "the platform has no desktop notification centre";
      return std::nullopt;
    }
    const std::size_t before = arrivals();
    auto taken = std::make_shared<std::promise<std::optional<std::string>>>();
    center->deliver(std::move(request),
                    [taken](std::optional<std::string> error) { taken->set_value(error); });
    auto answer = taken->get_future();
    if (!runLoopUntil([&] { return ready(answer); }, 10s)) {
      *why = "the notification server did not answer";
      return std::nullopt;
    }
    if (auto error = answer.get()) {
      *why = *error;
      return std::nullopt;
    }
    if (!session_ || !session_->hasNotificationServer()) {
      *why = "given to the notification server of the user's own desktop";
      return std::nullopt;
    }
    if (!runLoopUntil([&] { return arrivals() > before; }, 5s)) {
      *why = "the notification server did not display it";
      return std::nullopt;
    }
    const auto arrived = session_->arrived(before + 1, 0ms).back();
    shownId_ = arrived.id;
    // The server draws its window on its own next turns.
    runLoopUntil([] { return false; }, 300ms);
    return ServerNotification{arrived.summary, arrived.body, arrived.iconPath};
  }

  bool answerNotification(const std::string& action) override {
    if (shownId_.empty()) return false;
    // The server's menu takes a round trip through a helper program: the
    // loop keeps turning meanwhile.
    auto offered = std::async(std::launch::async, [session = session_.get(),
                                                   choice = "[" + shownId_ + "," + action + "]"] {
      return !session->invokeAction(choice).empty();
    });
    runLoopUntil([&] { return ready(offered); }, 20s);
    shownId_.clear();
    return offered.get();
  }

  bool screenshotScreen(const std::filesystem::path& png) override {
    return session_ && saveScreen(png);
  }

 private:
  std::size_t arrivals() const { return session_ ? session_->arrived(0, 0ms).size() : 0; }

  std::unique_ptr<testing::DesktopSession> session_;
  std::shared_ptr<TaskTimes> times_ = std::make_shared<TaskTimes>();
  std::shared_ptr<gtk::Mirror> mirror_;
  GtkWindow* gtkWindow_ = nullptr;
  // The server's identifier of the notification shown last.
  std::string shownId_;
};

}  // namespace

std::unique_ptr<WindowMode> openWindowMode(std::string* why) {
  std::unique_ptr<testing::DesktopSession> session;
  const char* display = std::getenv("DISPLAY");
  try {
    if (!display || !*display) {
      // Without a notification server (none installed, or it would not
      // start) notifications are denied, and the run goes on.
      const bool server = std::filesystem::exists("/usr/bin/dunst");
      try {
        session = std::make_unique<testing::DesktopSession>(server);
      } catch (const std::exception&) {
        if (!server) throw;
        session = std::make_unique<testing::DesktopSession>(false);
      }
    }
  } catch (const std::exception& e) {
    *why = e.what();
    return nullptr;
  }
  if (!gtk_init_check()) {
    *why = "GTK cannot open the display";
    return nullptr;
  }
  return std::make_unique<GtkWindowMode>(std::move(session));
}

}  // namespace tavrino::sim
