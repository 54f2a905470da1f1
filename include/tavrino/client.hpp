#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tavrino/async_task.hpp"
#include "tavrino/export.hpp"
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
};

// Identifier of the keyboard extension point.
inline constexpr std::string_view kKeyboardExtensionPointIdentifier = "com.apple.keyboard-service";

// Restores every piece of process-wide state (shared configuration, step list,
// callbacks) to its initial value. For tests; the store is not touched.
TAVRINO_EXPORT void resetProcessStateForTesting();

}  // namespace tavrino
