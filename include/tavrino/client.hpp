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

  // --- Notification receipt, push clicks, notification extension
  //     (src/push/receipt*.cpp, src/push/extension*.cpp) ---

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
