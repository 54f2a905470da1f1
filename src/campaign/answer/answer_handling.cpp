// The answer to a page view: cookie instructions, inbox and custom-event
// filing here, in answer order; each campaign then goes to the main queue,
// and the custom events and badge activations that waited for the answer go
// last.

#include <string>
#include <vector>

#include "campaign/answer/engine_state.hpp"
#include "campaign/host_calls.hpp"
#include "campaign/ui_sb_start.hpp"
#include "core/shared_configuration.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/store.hpp"
#include "tracking/tracking.hpp"

namespace tavrino::engine {
namespace {

// The event kind that arms a campaign of the given function.
std::string eventKindOf(std::string_view function, const Value& params) {
  if (function == "ui_sb") return Util::tryCatch(params, "shEvn", "PAGEVIEW");
  if (function == "add_act" || function == "add_lbl") {
    return Util::tryCatch(params, "e", "PAGEVIEW");
  }
  return "PAGEVIEW";
}

// The function and params of one answer element, or false (with a log line)
// when the element is not a campaign.
bool readCampaign(const Value& element, std::size_t index, std::string& function, Value& params) {
  const std::string where = " (element " + std::to_string(index) + ")";
  if (!element.is_object()) {
    QivUtil::addLog("campaign skipped. not an object" + where);
    return false;
  }
  const auto fn = element.find("function");
  if (fn == element.end() || !fn->is_string()) {
    QivUtil::addLog("campaign skipped. no function" + where);
    return false;
  }
  const auto ps = element.find("params");
  if (ps == element.end() || !ps->is_object()) {
    QivUtil::addLog("campaign skipped. no params" + where);
    return false;
  }
  function = fn->get<std::string>();
  params = *ps;
  return true;
}

// How far a campaign's dispatch reaches beyond its own show criteria.
enum class Reach {
  // Nothing of the host's runs and nothing a later check reads changes: a
  // filed custom-event campaign, the shake arming, a banner whose
  // presentation stops or waits for its start delay.
  none,
  // A banner whose presentation may run host code, after its check.
  presentation,
  // An action or label, or a banner whose host prepares the screen first.
  anything,
};

Reach reachOf(const AnswerCampaign& campaign) {
  if (campaign.kind != "PAGEVIEW") return Reach::none;
  if (campaign.function == "add_act" || campaign.function == "add_lbl") return Reach::anything;
  if (campaign.function != "ui_sb") return Reach::none;
  if (Util::tryCatch(campaign.params, "bsc", "") == "aich") return Reach::anything;
  return presentsAtOnce(campaign.params) ? Reach::presentation : Reach::none;
}

// Splits the campaigns, in order, into runs: each run is checked in one
// transaction and ends with its first campaign that reaches further than
// its check; a campaign that may reach the host before its check runs
// alone, outside a transaction.
std::vector<AnswerRun> runsOf(std::vector<AnswerCampaign> campaigns) {
  std::vector<AnswerRun> runs;
  bool open = false;
  for (auto& campaign : campaigns) {
    const Reach reach = reachOf(campaign);
    if (!open || reach == Reach::anything) {
      runs.push_back({{}, reach != Reach::anything});
    }
    runs.back().campaigns.push_back(std::move(campaign));
    open = reach == Reach::none;
  }
  return runs;
}

void replayWaitingRequests(const PageView& page) {
  if (isStale(page.execcounter)) {
    QivUtil::addLog("replay execcount did not match");
    return;
  }
  const auto [events, badges] = processState().withCampaign([](CampaignState& c) {
    std::vector<StringMap> maps;
    if (c.pendingBadgeRequested) {
      c.pendingBadgeRequested = false;
      maps = c.pendingBadgeMaps;
    }
    return std::make_pair(c.pendingCustomEvents, std::move(maps));
  });
  for (const auto& name : events) {
    tracking::createCustomEvent(name, page.view.get(), page.client_map);
  }
  for (const auto& map : badges) campaign::activateListingBadge(page.view.get(), map);
}

}  // namespace

void handleAnswer(const EngineHandle& engine, const Data& body, const PageView& page) {
  if (isStale(page.execcounter)) {
    QivUtil::addLog("doinBackground callback execcount did not match");
    return;
  }
  processState().withCampaign([](CampaignState& c) { c.responseReady = true; });
  const Value answer = Util::parseJSONArray(body);
  Util::setCookieToQIVDefaults("groupname", "");

  // First the work off the main thread, in answer order: cookie instructions,
  // inbox filing, custom-event filing (one transaction for the answer). Then
  // the dispatch, in runs.
  std::vector<AnswerCampaign> campaigns;
  std::vector<CustomEventCampaign> filings;
  for (std::size_t index = 0; index < answer.size(); ++index) {
    AnswerCampaign campaign;
    if (!readCampaign(answer[index], index, campaign.function, campaign.params)) continue;
    campaign.kind = eventKindOf(campaign.function, campaign.params);
    if (campaign.function == "_sc" || campaign.function == "_sl") {
      applyCookieInstruction(campaign.params);
      continue;
    }
    if (campaign.function == "ui_sb") fileInboxCampaign(campaign.params);
    if (campaign.kind == "CUSTOMEVENT") {
      filings.emplace_back(campaign.function, campaign.params);
      campaign.filed = true;
    }
    campaigns.push_back(std::move(campaign));
  }
  // A newer page view drops the campaigns unfiled, as their dispatch would.
  if (!filings.empty() && !isStale(page.execcounter)) fileCustomEventCampaigns(filings);

  auto& dispatch = platform::current().dispatch();
  for (auto& run : runsOf(std::move(campaigns))) {
    dispatch.mainAsync([engine, page, run = std::move(run)] {
      if (const auto state = engine.lock()) dispatchRun(state, page, run);
    });
  }
  dispatch.mainAsync([engine, page] {
    if (engine.lock()) guarded("replay", [&] { replayWaitingRequests(page); });
  });
}

}  // namespace tavrino::engine
