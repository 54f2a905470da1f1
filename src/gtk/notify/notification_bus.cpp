#include "gtk/notify/notification_bus.hpp"

#include <memory>

namespace tavrino::gtk {
namespace {

constexpr const char* kName = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
// A server that takes longer is as good as none.
constexpr int kCallTimeoutMs = 5000;

// Returns the error's message and frees it.
std::string describe(GError** error) {
  std::string text = *error ? (*error)->message : "unknown error";
  g_clear_error(error);
  return text;
}

}  // namespace

struct NotificationBus::Call {
  NotificationBus* bus;
  Reply done;
};

NotificationBus::NotificationBus(Signals signals)
    : signals_(std::move(signals)),
      context_(g_main_context_new()),
      loop_(g_main_loop_new(context_, FALSE)),
      cancellable_(g_cancellable_new()),
      thread_([this] { run(); }) {}

NotificationBus::~NotificationBus() {
  stop();
  g_object_unref(cancellable_);
  g_main_loop_unref(loop_);
  g_main_context_unref(context_);
}

void NotificationBus::run() {
  g_main_context_push_thread_default(context_);
  g_main_loop_run(loop_);
  if (subscription_ != 0) g_dbus_connection_signal_unsubscribe(connection_, subscription_);
  if (connection_) {
    // Not the blocking form: it waits on a context of its own, which can
    // hang while this one is being left.
    g_dbus_connection_close(connection_, nullptr, nullptr, nullptr);
    g_object_unref(connection_);
  }
  // Tasks posted after the end are dropped; their sources go with the
  // context.
  while (g_main_context_iteration(context_, FALSE)) {
  }
  g_main_context_pop_thread_default(context_);
}

bool NotificationBus::post(std::function<void()> task) {
  std::lock_guard lock(mu_);
  if (stopped_) return false;
  g_main_context_invoke_full(
      context_, G_PRIORITY_DEFAULT,
      [](gpointer data) {
        (*static_cast<std::function<void()>*>(data))();
        return G_SOURCE_REMOVE;
      },
      new std::function<void()>(std::move(task)),
      [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
  return true;
}

void NotificationBus::stop() {
  {
    std::lock_guard lock(mu_);
    if (stopped_) return;
    stopped_ = true;
  }
  // Calls in flight end cancelled; the loop ends after the last of them.
  g_main_context_invoke(
      context_,
      [](gpointer data) {
        auto* bus = static_cast<NotificationBus*>(data);
        bus->ending_ = true;
        g_cancellable_cancel(bus->cancellable_);
        if (bus->callsInFlight_ == 0) g_main_loop_quit(bus->loop_);
        return G_SOURCE_REMOVE;
      },
      this);
  thread_.join();
}

GDBusConnection* NotificationBus::connection(std::string& error) {
  if (connection_) return connection_;
  GError* failure = nullptr;
  gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, cancellable_, &failure);
  if (address) {
    connection_ = g_dbus_connection_new_for_address_sync(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, cancellable_, &failure);
    g_free(address);
  }
  if (!connection_) {
    error = "no session bus: " + describe(&failure);
    return nullptr;
  }
  // Only the server's signals: GDBus follows the owner of the name.
  subscription_ =
      g_dbus_connection_signal_subscribe(connection_, kName, kName, nullptr, kPath, nullptr,
                                         G_DBUS_SIGNAL_FLAGS_NONE, onSignal, this, nullptr);
  return connection_;
}

void NotificationBus::call(const char* method, GVariant* parameters, const char* replyType,
                           Reply done) {
  std::string error;
  GDBusConnection* bus = ending_ ? nullptr : connection(error);
  if (!bus) {
    if (parameters) g_variant_unref(g_variant_ref_sink(parameters));
    done(nullptr, ending_ ? "stopped" : error);
    return;
  }
  ++callsInFlight_;
  g_dbus_connection_call(bus, kName, kPath, kName, method, parameters, G_VARIANT_TYPE(replyType),
                         G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, cancellable_, onReply,
                         new Call{this, std::move(done)});
}

void NotificationBus::onReply(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Call> call(static_cast<Call*>(data));
  GError* failure = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &failure);
  const std::string error = reply ? std::string() : describe(&failure);
  if (!call->bus->ending_) call->done(reply, error);
  if (reply) g_variant_unref(reply);
  call->bus->finishCall();
}

void NotificationBus::finishCall() {
  --callsInFlight_;
  if (ending_ && callsInFlight_ == 0) g_main_loop_quit(loop_);
}

void NotificationBus::onSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                               const gchar* name, GVariant* parameters, gpointer self) {
  auto* bus = static_cast<NotificationBus*>(self);
  if (bus->ending_) return;
  const std::string signal = name;
  // Whatever else arrives under these names is ignored.
  if (signal == "ActionInvoked" && g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)"))) {
    guint32 id = 0;
    const gchar* action = nullptr;
    g_variant_get(parameters, "(u&s)", &id, &action);
    if (bus->signals_.actionInvoked) bus->signals_.actionInvoked(id, action);
  } else if (signal == "NotificationClosed" &&
             g_variant_is_of_type(parameters, G_VARIANT_TYPE("(uu)"))) {
    guint32 id = 0;
    guint32 reason = 0;
    g_variant_get(parameters, "(uu)", &id, &reason);
    if (bus->signals_.closed) bus->signals_.closed(id, reason);
  }
}

}  // namespace tavrino::gtk
