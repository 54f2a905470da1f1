#pragma once

// What DesktopNotificationCenter does: its bookkeeping, and the mapping
// between the SDK's notifications and the server's (see the public header).

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "gtk/notify/notification_bus.hpp"
#include "tavrino/gtk/desktop_notification_center.hpp"

namespace tavrino::gtk {

class DesktopNotifications {
 public:
  using Completion = std::function<void(std::optional<std::string> error)>;

  // center is the public object whose delegate hears the answers.
  DesktopNotifications(platform::Platform& platform, DesktopNotificationOptions options,
                       std::weak_ptr<platform::UserNotificationCenter> center);
  ~DesktopNotifications();

  void setDelegate(const std::shared_ptr<platform::UserNotificationCenterDelegate>& delegate);
  std::shared_ptr<platform::UserNotificationCenterDelegate> delegate();
  void requestAuthorization(platform::AuthorizationOptions options,
                            std::function<void(bool, std::optional<std::string>)> completion);
  void getNotificationSettings(std::function<void(platform::NotificationSettings)> completion);
  void setNotificationCategories(std::vector<platform::NotificationCategory> categories);
  std::vector<platform::NotificationCategory> notificationCategories();
  void add(platform::NotificationRequest request, Completion completion);
  void deliver(platform::NotificationRequest request, Completion completion);
  void stop() { bus_->stop(); }
  // Runs task on a global queue (where completions run).
  void onGlobalQueue(std::function<void()> task);

 private:
  struct Shown {
    platform::UserNotification notification;
    // The keys offered to the server and the actions they stand for (the
    // empty text for a click on the body).
    std::vector<std::pair<std::string, std::string>> actions;
    bool reportsDismissal = false;
  };

  platform::NotificationSettings settings();
  void storeSettings(const platform::NotificationSettings& settings);
  // Bus thread only, from here on.
  void withCapabilities(std::function<void()> next);
  void storeCapabilities(GVariant* reply);
  bool offers(const std::string& capability) const;
  void show(const platform::NotificationRequest& request, Completion completion);
  void answered(std::uint32_t id, const std::string& action);
  void closed(std::uint32_t id, std::uint32_t reason);
  Shown forget(std::map<std::uint32_t, Shown>::iterator shown);
  void respond(const Shown& shown, std::string_view action);

  platform::Platform& platform_;
  const DesktopNotificationOptions options_;
  const std::weak_ptr<platform::UserNotificationCenter> center_;
  std::mutex mu_;
  std::weak_ptr<platform::UserNotificationCenterDelegate> delegate_;
  std::map<std::string, platform::NotificationCategory> categories_;
  platform::NotificationSettings ownSettings_;
  // The latest add() of each identifier: a replaced one never shows.
  std::map<std::string, std::uint64_t> scheduled_;
  std::uint64_t schedules_ = 0;
  // Bus thread only.
  std::optional<std::vector<std::string>> capabilities_;
  std::map<std::uint32_t, Shown> shown_;
  std::map<std::string, std::uint32_t> shownByIdentifier_;
  // Last: its thread uses everything above.
  std::unique_ptr<NotificationBus> bus_;
};

}  // namespace tavrino::gtk
