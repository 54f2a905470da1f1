#pragma once

// The process-wide state every subsystem reads: the shared configuration, the
// step list and its callback, the push-click callback. One copy per process,
// guarded by one mutex; tavrino::resetProcessStateForTesting() restores the
// initial values.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tavrino/value.hpp"

namespace tavrino {

inline constexpr const char* kDefaultTrackingHost = "track.tavrino.invalid";

struct SharedConfiguration {
  std::string baseUrl = std::string("//") + kDefaultTrackingHost + "/";
  std::string companyId = "0";
  std::string sscookie = "0";
  std::string secureOnly = "0";
  std::string clickCookieMinutes = "1440";
  std::string bannerTime = "60";
  std::int64_t visitTimeoutSeconds = 1800;
  std::string virtualFlag = "0";
  std::string orientationFlag = "0";
  std::size_t itemTextLimit = 13000;
  std::string decimalChar = ".";
  std::string runc, runa, runv, runi, runar;
  std::string vto;                 // "_vto" text; empty until the first page view
  std::string requestTimeoutText;  // "_req_to"; empty until the first page view
  std::string pushRequestTimeout;  // "_push_req_to"
  std::string currentPageName;
  // Origin of "/"-relative notification images; empty: the default host.
  std::string contentDeliveryOrigin;
  std::optional<Value> allowedFunctions;  // map text -> any
  // Set by the host (the page view only fills in an empty map): from then on
  // it limits every call campaign data makes by name.
  bool allowedFunctionsFromHost = false;
  std::optional<std::vector<std::string>> allowedDomains;
  std::vector<std::string> pendingItems;
  std::vector<std::string> pageItems;
};

// The current page view's campaign bookkeeping: reset by every page view,
// filled while its answer is awaited.
struct CampaignState {
  bool responseReady = false;
  std::vector<std::string> pendingCustomEvents;
  bool pendingBadgeRequested = false;
  std::vector<StringMap> pendingBadgeMaps;
};

using StepCallback = std::function<void(const std::vector<std::string>&)>;
using PushClickCallback = std::function<void(const Value&)>;

// Keeps at most this many steps (the oldest go first) so a long-running host
// does not grow the list without bound.
inline constexpr std::size_t kMaxSteps = 1000;

class ProcessState {
 public:
  // Runs fn with the configuration under the lock and returns its result.
  // REQUIRES: fn does not call back into ProcessState.
  template <typename Fn>
  auto withConfig(Fn&& fn) {
    std::lock_guard lock(mu_);
    return fn(config_);
  }

  // Appends a step; calls the step callback with the whole list unless
  // notify is false (construction).
  void appendStep(std::string step, bool notify = true);
  std::vector<std::string> steps();
  void setStepCallback(StepCallback callback);

  void setPushClickCallback(PushClickCallback callback);
  PushClickCallback pushClickCallback();

  // Runs fn with the campaign state under the lock.
  // REQUIRES: fn does not call back into ProcessState.
  template <typename Fn>
  auto withCampaign(Fn&& fn) {
    std::lock_guard lock(mu_);
    return fn(campaign_);
  }

  // The number of the current page view; only grows. Background work
  // compares the value it started with against it to drop stale work.
  std::int64_t execcounter() const { return execcounter_.load(std::memory_order_acquire); }
  // Adds one and returns the new value.
  std::int64_t incrementExecCounter() {
    return execcounter_.fetch_add(1, std::memory_order_acq_rel) + 1;
  }

  void reset();

 private:
  std::mutex mu_;
  SharedConfiguration config_;
  CampaignState campaign_;
  std::atomic<std::int64_t> execcounter_{0};
  std::deque<std::string> steps_;
  std::shared_ptr<StepCallback> stepCallback_;
  std::shared_ptr<PushClickCallback> pushClickCallback_;
};

ProcessState& processState();

// Shorthand for processState().appendStep(step).
void recordStep(std::string step);

}  // namespace tavrino
