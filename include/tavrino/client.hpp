#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tavrino/async_task.hpp"
#include "tavrino/export.hpp"
#include "tavrino/platform/dispatch.hpp"
#include "tavrino/platform/user_notification_center.hpp"
#include "tavrino/ui/view_controller.hpp"
#include "tavrino/value.hpp"

namespace tavrino {

namespace platform {
class Application;
}

// The one class a host talks to. Create it early with the tracking service's
// base URL and the company id, then report page views, events and clicks.
// Construction and the setters store their values at once; nothing here
// throws or reports an error.
class TAVRINO_EXPORT Tavrino {
 public:
  using StepCallback = std::function<void(const std::vector<std::string>&)>;
  using PushClickCallback = std::function<void(const Value& userInfo)>;

  // enableCompanySettings "1" fetches the company settings once a day.
  Tavrino(std::string_view baseUrl, std::string_view companyId, std::string_view sscookie,
          std::string_view enableCompanySettings);
  Tavrino(std::string_view baseUrl, std::string_view companyId, std::string_view sscookie);

  // Configuration setters; each writes the store at once.
  void setApiKey(std::string_view api_key);
  void setAllowedFunction(const Value& allowed_functions);
  void setAllowedDomains(std::vector<std::string> allowed_domains);
  void enableAppInbox();
  void disableAppInbox();
  void setAppGroupName(std::string_view group_name);
  void setAppInboxHistorySize(std::int64_t limit);
  void setDefaultTimeout(std::int64_t default_timeout);
  static void enable_hash(std::string_view hash);
  static void disable_hash();
  static bool isEnabledHash();

  // The visitor id, or the empty text before the first page view.
  static std::string getuid();
  // The progress steps recorded so far (the most recent 1,000).
  std::vector<std::string> getSteps() const;
  // callback receives the whole step list after each step.
  void setStepCallback(StepCallback callback);
  // callback receives the user info of each tapped notification.
  void pushClickCallback(PushClickCallback callback);

  // Returns false for the keyboard extension point, true for any other.
  bool application(platform::Application* application,
                   std::string_view extensionPointIdentifier) const;

  using ViewControllerPtr = std::shared_ptr<ui::ViewController>;

  // Page views. Call when a screen is shown, with its controller and page
  // data; virtual_ "0" is a screen change, anything else a page view inside
  // the screen (its banners stay).
  void execute(const ViewControllerPtr& view, const StringMap& localmap);
  void execute(const ViewControllerPtr& view, const StringMap& localmap, std::string_view virtual_);
  void virtual_execute(const ViewControllerPtr& view, const StringMap& localmap);
  void onChangeState();

  // Custom events: runs the campaigns filed for the event (queued until the
  // page's answer is in).
  void createEvent(std::string_view eventname, const ViewControllerPtr& view,
                   const StringMap& client_map);
  static void createCustomEvent(std::string_view eventname, const ViewControllerPtr& view,
                                const StringMap& client_map);

  // Clicks and impressions.
  void track(const Value& parameters, const StringMap& client_map);
  void saveClickEvent(const Value& parameters, const StringMap& client_map);
  void szbid(const Value& parameters);
  static void saveClickCookie(const Value& parameters, const ViewControllerPtr& view,
                              const StringMap& client_map);
  static void _clink(const Value& parameters, const StringMap& client_map);

  // Cart items, sent with the next page view.
  void addItem(std::string_view productId, std::string_view quantity, std::string_view price,
               std::string_view category, std::string_view title);
  void addItem(std::string_view productId, std::string_view quantity, std::string_view price,
               std::string_view category, std::string_view title, const Value& extraparams);
  static std::string numberFormat(const Value& format, std::string_view price);

  // Actions and labels run directly.
  void add_action(std::string_view di, std::string_view pt, std::string_view v, std::string_view id,
                  std::string_view to, std::string_view lv, const StringMap& client_map);
  void add_label(std::string_view di, std::string_view pt, std::string_view v, std::string_view id,
                 std::string_view to, std::string_view lv, const StringMap& client_map);
  void clearCustomActions();

  // Install attribution.
  void trackAppInstallWithAdjust(std::string_view network, std::string_view campaign);
  void trackAppInstallWithAdjust(std::string_view network, std::string_view campaign,
                                 std::string_view idfa);
  void trackAppInstallWithAdjust(std::string_view trackerToken, std::string_view trackerName,
                                 std::string_view network, std::string_view campaign,
                                 std::string_view adgroup, std::string_view creative,
                                 std::string_view clickLabel, std::string_view adid);
  void trackAppInstallStats(std::string_view idfa);

  // Deep links: test parameters, campaign parameters, push previews.
  void trackDeepLink(const std::optional<std::string>& url);
  void trackDeepLink(const std::optional<std::string>& url,
                     const std::function<void(const std::optional<std::string>&)>& callback);
  void saveTestParameters(const std::optional<std::string>& url);

  // Listing badges: lays the registered badge definitions over the listed
  // items' views ("qivlid").
  static void activateListingBadge(const ViewControllerPtr& view, const StringMap& localmap);

  // --- Push registration and permission (src/push/registration*.cpp) ---
  // ("register" is a keyword, hence the trailing "_".)

  // Installs the notification delegate, asks for permission when push is
  // not yet enabled, else registers with the push service.
  void register_();
  // The same from the application delegate's launch; waits for the company
  // settings when their fetch is on and has not succeeded yet. launchOptions
  // is ignored. The platform has one application: the SDK calls the
  // platform's, whatever application names.
  void register_(platform::Application& application, const Value& launchOptions);
  // Asks for alert, sound and badge, plus provisional authorization (from
  // system version 12) when provisional is "1"; registers once allowed.
  void requestPermission(platform::Application& application, std::string_view provisional);
  // Registers with the push service when the current settings allow it.
  void getNotificationSettings();
  // Stores the device token the platform handed to the application and
  // reports it once per installation.
  static void registerWithDeviceToken(const Data& deviceToken);
  // Opt back into and out of push; the service hears of it.
  static void enable_push();
  static void disable_push();
  // The stored device token in lower-case hexadecimal, or the empty text.
  static std::string getPushToken();

  // --- Notification receipt, push clicks, notification extension
  //     (src/push/receipt*.cpp, src/push/extension*.cpp) ---

  // A remote notification reached the application (forwarded by the host's
  // application delegate): files it into the inbox, then by the
  // application's state handles it as a click (opened from it) or shows it
  // again (in the foreground). A null application is the platform's.
  void didReceiveNotification(platform::Application* application, const Value& userInfo);
  static void didReceiveBackgroundNotification(platform::Application* application,
                                               const Value& userInfo);
  // The payload key of the link to open ("l" when empty); "a|b" reads the
  // entry "b" of the map under "a".
  void setPayloadLink(std::string_view link);
  // Stored only: the extension takes its image key as an argument.
  void setPayloadImage(std::string_view image);
  // The origin that "/"-relative notification image addresses are read from
  // ("https://" + the content delivery host unless set).
  static void setContentDeliveryOrigin(std::string_view origin);

  // The notification service extension: reports the delivery, stores the
  // message in the app group's inbox, adds the action buttons and attaches
  // the image read under imageKey ("m"), then returns content. appGroup
  // "notset" (or empty) means none: nothing is stored in an inbox. The image
  // download blocks for at most 10 seconds.
  platform::MutableNotificationContent& didReceiveNotificationExtension(
      platform::MutableNotificationContent& content, const platform::NotificationRequest& request);
  platform::MutableNotificationContent& didReceiveNotificationExtension(
      platform::MutableNotificationContent& content, const platform::NotificationRequest& request,
      std::string_view imageKey);
  platform::MutableNotificationContent& didReceiveNotificationExtension(
      platform::MutableNotificationContent& content, const platform::NotificationRequest& request,
      std::string_view imageKey, std::string_view appGroup);
  // Registers the category newCategory with one foreground action per button
  // map ("id", "title") and gives it to content. The categories are kept in
  // the suite inboxname (the SDK's own without a group), the newest 64.
  void addActionButtons(std::string_view inboxname, const Value& buttons,
                        std::string_view newCategory,
                        platform::MutableNotificationContent& content);

  // Instance fields.
  AsyncTask task;
  std::string _enable_company_settings = "0";
  std::int64_t s_btm = 0;
  std::int64_t s_top = 0;
  double shkthr = 0;
  std::string baseLink;
  std::string qivtest;
  std::string qivforce;
  std::string companyid;
  std::string memberid;
  // The latest page view's hand-off to task; a newer page view cancels it.
  std::shared_ptr<platform::WorkItem> pageviewWorkItem;
};

// Identifier of the keyboard extension point.
inline constexpr std::string_view kKeyboardExtensionPointIdentifier = "com.apple.keyboard-service";

// Restores every piece of process-wide state (shared configuration, step list,
// callbacks, the image cache) to its initial value. For tests; the store is
// not touched.
TAVRINO_EXPORT void resetProcessStateForTesting();

}  // namespace tavrino
