#include "gtk/notify/desktop_notifications.hpp"

#include <algorithm>

#include "tavrino/platform/linux_application.hpp"

namespace tavrino::gtk {
namespace {

using platform::AuthorizationStatus;

// NotificationClosed's reason when the user closed it.
constexpr std::uint32_t kDismissedByUser = 2;
// The action the server invokes for a click on the body.
constexpr const char* kBodyAction = "default";

void log(const std::string& line) {
  platform::current().log().log(line);
}

// The bus carries UTF-8 only; payload texts may be anything.
std::string valid(const std::string& text) {
  gchar* fixed = g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size()));
  std::string result(fixed);
  g_free(fixed);
  return result;
}

std::string markupEscaped(const std::string& text) {
  gchar* escaped = g_markup_escape_text(text.c_str(), -1);
  std::string result(escaped);
  g_free(escaped);
  return result;
}

}  // namespace

DesktopNotifications::DesktopNotifications(platform::Platform& platform,
                                           DesktopNotificationOptions options,
                                           std::weak_ptr<platform::UserNotificationCenter> center)
    : platform_(platform),
      options_(std::move(options)),
      center_(std::move(center)),
      bus_(std::make_unique<NotificationBus>(NotificationBus::Signals{
          [this](std::uint32_t id, std::string action) { answered(id, action); },
          [this](std::uint32_t id, std::uint32_t reason) { closed(id, reason); }})) {}

DesktopNotifications::~DesktopNotifications() {
  bus_->stop();
}

void DesktopNotifications::setDelegate(
    const std::shared_ptr<platform::UserNotificationCenterDelegate>& delegate) {
  std::lock_guard lock(mu_);
  delegate_ = delegate;
}

std::shared_ptr<platform::UserNotificationCenterDelegate> DesktopNotifications::delegate() {
  std::lock_guard lock(mu_);
  return delegate_.lock();
}

void DesktopNotifications::onGlobalQueue(std::function<void()> task) {
  platform_.dispatch().globalAsync(platform::QualityOfService::defaultQoS, std::move(task));
}

platform::NotificationSettings DesktopNotifications::settings() {
  if (auto* application = dynamic_cast<platform::LinuxApplication*>(&platform_.application())) {
    return application->notificationSettings();
  }
  std::lock_guard lock(mu_);
  return ownSettings_;
}

void DesktopNotifications::storeSettings(const platform::NotificationSettings& settings) {
  if (auto* application = dynamic_cast<platform::LinuxApplication*>(&platform_.application())) {
    application->setNotificationSettings(settings);
    return;
  }
  std::lock_guard lock(mu_);
  ownSettings_ = settings;
}

void DesktopNotifications::requestAuthorization(
    platform::AuthorizationOptions options,
    std::function<void(bool, std::optional<std::string>)> completion) {
  const bool provisional = (options & platform::authorization_option::provisional) != 0;
  auto ask = [this, provisional, completion] {
    bus_->call("GetCapabilities", nullptr, "(as)",
               [this, provisional, completion](GVariant* reply, const std::string& error) {
                 platform::NotificationSettings decided{.authorizationStatus =
                                                            AuthorizationStatus::denied};
                 if (reply) {
                   storeCapabilities(reply);
                   decided = {.authorizationStatus = provisional ? AuthorizationStatus::provisional
                                                                 : AuthorizationStatus::authorized,
                              .alertAllowed = true,
                              .soundAllowed = offers("sound")};
                 } else {
                   log("notification permission denied, no notification server : " + error);
                 }
                 // Stored before the completion runs, which may read it.
                 storeSettings(decided);
                 if (!completion) return;
                 onGlobalQueue([completion, granted = reply != nullptr] {
                   completion(granted, std::nullopt);
                 });
               });
  };
  if (!bus_->post(std::move(ask)) && completion) {
    onGlobalQueue([completion] { completion(false, "the notification centre has stopped"); });
  }
}

void DesktopNotifications::getNotificationSettings(
    std::function<void(platform::NotificationSettings)> completion) {
  if (!completion) return;
  onGlobalQueue(
      [completion = std::move(completion), current = settings()] { completion(current); });
}

void DesktopNotifications::setNotificationCategories(
    std::vector<platform::NotificationCategory> categories) {
  std::map<std::string, platform::NotificationCategory> unique;
  for (auto& category : categories) unique[category.identifier] = std::move(category);
  std::lock_guard lock(mu_);
  categories_ = std::move(unique);
}

std::vector<platform::NotificationCategory> DesktopNotifications::notificationCategories() {
  std::lock_guard lock(mu_);
  std::vector<platform::NotificationCategory> all;
  for (const auto& entry : categories_) all.push_back(entry.second);
  return all;
}

void DesktopNotifications::add(platform::NotificationRequest request, Completion completion) {
  if (!request.trigger) {
    deliver(std::move(request), std::move(completion));
    return;
  }
  std::uint64_t ticket = 0;
  {
    std::lock_guard lock(mu_);
    ticket = ++schedules_;
    scheduled_[request.identifier] = ticket;
  }
  const auto delay = std::chrono::duration_cast<platform::Clock::Duration>(
      std::chrono::duration<double>(std::max(0.0, request.trigger->timeInterval)));
  // The centre owns this object: alive while the centre is.
  platform_.dispatch().mainAsyncAfter(
      delay, [this, center = center_, request = std::move(request), ticket]() mutable {
        const auto alive = center.lock();
        if (!alive) return;
        {
          std::lock_guard lock(mu_);
          const auto latest = scheduled_.find(request.identifier);
          if (latest == scheduled_.end() || latest->second != ticket) return;
          scheduled_.erase(latest);
        }
        deliver(std::move(request), nullptr);
      });
  if (completion) onGlobalQueue([completion] { completion(std::nullopt); });
}

void DesktopNotifications::deliver(platform::NotificationRequest request, Completion completion) {
  auto showIt = [this, request = std::move(request), completion]() {
    withCapabilities([this, request, completion] { show(request, completion); });
  };
  if (!bus_->post(std::move(showIt)) && completion) {
    onGlobalQueue([completion] { completion("the notification centre has stopped"); });
  }
}

void DesktopNotifications::withCapabilities(std::function<void()> next) {
  if (capabilities_) {
    next();
    return;
  }
  bus_->call("GetCapabilities", nullptr, "(as)", [this, next](GVariant* reply, const std::string&) {
    if (reply) storeCapabilities(reply);
    next();
  });
}

void DesktopNotifications::storeCapabilities(GVariant* reply) {
  const gchar** offered = nullptr;
  g_variant_get(reply, "(^a&s)", &offered);
  capabilities_.emplace();
  for (auto** it = offered; it && *it; ++it) capabilities_->emplace_back(*it);
  g_free(offered);
}

bool DesktopNotifications::offers(const std::string& capability) const {
  return capabilities_ && std::find(capabilities_->begin(), capabilities_->end(), capability) !=
                              capabilities_->end();
}

void DesktopNotifications::show(const platform::NotificationRequest& request,
                                Completion completion) {
  const auto& content = request.content;
  Shown shown{{request, platform_.clock().epochSeconds()}, {{kBodyAction, ""}}, false};
  GVariantBuilder actions;
  g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
  g_variant_builder_add(&actions, "s", kBodyAction);
  g_variant_builder_add(&actions, "s", "Open");
  {
    std::lock_guard lock(mu_);
    if (const auto category = categories_.find(content.categoryIdentifier);
        category != categories_.end()) {
      shown.reportsDismissal =
          (category->second.options & platform::category_option::customDismissAction) != 0;
      for (const auto& action : category->second.actions) {
        shown.actions.emplace_back(valid(action.identifier), action.identifier);
        g_variant_builder_add(&actions, "s", shown.actions.back().first.c_str());
        g_variant_builder_add(&actions, "s", valid(action.title).c_str());
      }
    }
  }
  GVariantBuilder hints;
  g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
  if (!content.attachments.empty() && g_path_is_absolute(content.attachments[0].url.c_str())) {
    if (gchar* uri = g_filename_to_uri(content.attachments[0].url.c_str(), nullptr, nullptr)) {
      g_variant_builder_add(&hints, "{sv}", "image-path", g_variant_new_string(uri));
      g_free(uri);
    }
  }
  if (!options_.desktopEntry.empty()) {
    g_variant_builder_add(&hints, "{sv}", "desktop-entry",
                          g_variant_new_string(valid(options_.desktopEntry).c_str()));
  }
  std::string body =
      content.subtitle.empty() ? content.body : content.subtitle + "\n" + content.body;
  body = valid(body);
  // A server that reads markup would take the payload's "<" and "&" for it.
  if (offers("body-markup")) body = markupEscaped(body);
  const auto replaced = shownByIdentifier_.find(request.identifier);
  GVariant* parameters =
      g_variant_new("(susssasa{sv}i)", valid(options_.applicationName).c_str(),
                    replaced == shownByIdentifier_.end() ? 0u : replaced->second, "",
                    valid(content.title).c_str(), body.c_str(), &actions, &hints, -1);
  bus_->call("Notify", parameters, "(u)",
             [this, shown = std::move(shown), completion](GVariant* reply,
                                                          const std::string& error) mutable {
               std::optional<std::string> failure;
               if (reply) {
                 std::uint32_t id = 0;
                 g_variant_get(reply, "(u)", &id);
                 const std::string identifier = shown.notification.request.identifier;
                 if (const auto earlier = shownByIdentifier_.find(identifier);
                     earlier != shownByIdentifier_.end()) {
                   shown_.erase(earlier->second);
                 }
                 shown_[id] = std::move(shown);
                 shownByIdentifier_[identifier] = id;
               } else {
                 failure = error;
                 log("desktop notification not shown : " + error);
               }
               if (completion) onGlobalQueue([completion, failure] { completion(failure); });
             });
}

void DesktopNotifications::answered(std::uint32_t id, const std::string& action) {
  const auto it = shown_.find(id);
  if (it == shown_.end()) return;
  const auto& actions = it->second.actions;
  const auto offered = std::find_if(actions.begin(), actions.end(),
                                    [&](const auto& entry) { return entry.first == action; });
  if (offered == actions.end()) return;
  const std::string identifier =
      offered->second.empty() ? std::string(platform::defaultActionIdentifier) : offered->second;
  const Shown shown = forget(it);
  // Servers may leave it on screen; answered, it is done with.
  bus_->call("CloseNotification", g_variant_new("(u)", id), "()",
             [](GVariant*, const std::string&) {});
  respond(shown, identifier);
}

void DesktopNotifications::closed(std::uint32_t id, std::uint32_t reason) {
  const auto it = shown_.find(id);
  if (it == shown_.end()) return;
  const Shown shown = forget(it);
  if (reason == kDismissedByUser && shown.reportsDismissal) {
    respond(shown, platform::dismissActionIdentifier);
  }
}

DesktopNotifications::Shown DesktopNotifications::forget(
    std::map<std::uint32_t, Shown>::iterator it) {
  const auto byIdentifier = shownByIdentifier_.find(it->second.notification.request.identifier);
  if (byIdentifier != shownByIdentifier_.end() && byIdentifier->second == it->first) {
    shownByIdentifier_.erase(byIdentifier);
  }
  Shown shown = std::move(it->second);
  shown_.erase(it);
  return shown;
}

void DesktopNotifications::respond(const Shown& shown, std::string_view action) {
  platform::NotificationResponse response{shown.notification, std::string(action)};
  platform_.dispatch().mainAsync([center = center_, response = std::move(response)] {
    const auto self = center.lock();
    if (!self) return;
    if (const auto target = self->delegate()) target->didReceive(*self, response, [] {});
  });
}

}  // namespace tavrino::gtk
