#pragma once

// The desktop notification server's methods and signals, reached from a
// thread of the bus's own: a private GLib main context runs there, so the
// host needs no GLib main loop, and a host that runs one never sees the
// bus's work. The connection is private too (not the process's shared
// session bus connection), so the bus going away never ends the process.
//
// Everything but post() and stop() runs on the bus thread only, and so do
// the callbacks.

#include <gio/gio.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace tavrino::gtk {

class NotificationBus {
 public:
  struct Signals {
    std::function<void(std::uint32_t id, std::string action)> actionInvoked;
    std::function<void(std::uint32_t id, std::uint32_t reason)> closed;
  };
  // A reply of the expected type, or null with what went wrong.
  using Reply = std::function<void(GVariant* reply, const std::string& error)>;

  explicit NotificationBus(Signals signals);
  ~NotificationBus();
  NotificationBus(const NotificationBus&) = delete;
  NotificationBus& operator=(const NotificationBus&) = delete;

  // Queues task on the bus thread. False once stopped (the task is dropped).
  bool post(std::function<void()> task);
  // Cancels the calls in flight and ends the thread. Not from the bus thread.
  void stop();

  // Calls method of the server with parameters (floating references are
  // taken), expecting replyType.
  void call(const char* method, GVariant* parameters, const char* replyType, Reply done);

 private:
  struct Call;
  static void onReply(GObject* source, GAsyncResult* result, gpointer data);
  static void onSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                       const gchar* name, GVariant* parameters, gpointer self);
  GDBusConnection* connection(std::string& error);
  void run();
  void finishCall();

  Signals signals_;
  GMainContext* context_;
  GMainLoop* loop_;
  GCancellable* cancellable_;
  std::mutex mu_;
  bool stopped_ = false;
  // Bus thread only.
  GDBusConnection* connection_ = nullptr;
  guint subscription_ = 0;
  int callsInFlight_ = 0;
  bool ending_ = false;
  // Last: it starts once everything else is in place.
  std::thread thread_;
};

}  // namespace tavrino::gtk
