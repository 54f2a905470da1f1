// The answer to a page view: cookie instructions, inbox and custom-event
// filing here, in answer order; each campaign then goes to the main queue,
// and the custom events and badge activations that waited for the answer go
// last.

#include <string>
#include <vector>

#include "campaign/answer/answer_checks.hpp"
#include "campaign/answer/engine_state.hpp"
#include "core/shared_configuration.hpp"
#include "tavrino/client.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/store.hpp"

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
    Tavrino::createCustomEvent(name, page.view.get(), page.client_map);
  }
  for (const auto& map : badges) Tavrino::activateListingBadge(page.view.get(), map);
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
  // inbox filing, custom-event filing (one transaction for the answer); the
  // banners' show criteria are gathered for one transaction on the main
  // thread. Then the dispatch.
  struct Campaign {
    std::string function, kind;
    Value params;
    Prepared prepared;
  };
  std::vector<Campaign> campaigns;
  std::vector<CustomEventCampaign> filings;
  std::shared_ptr<AnswerChecks> checks;
  StringMap checkedMap = page.client_map;
  checkedMap["_execcounter"] = std::to_string(page.execcounter);
  for (std::size_t index = 0; index < answer.size(); ++index) {
    Campaign campaign;
    if (!readCampaign(answer[index], index, campaign.function, campaign.params)) continue;
    campaign.kind = eventKindOf(campaign.function, campaign.params);
    if (campaign.function == "_sc" || campaign.function == "_sl") {
      applyCookieInstruction(campaign.params);
      continue;
    }
    if (campaign.function == "ui_sb") fileInboxCampaign(campaign.params);
    if (campaign.kind == "CUSTOMEVENT") {
      filings.emplace_back(campaign.function, campaign.params);
      campaign.prepared.filed = true;
    } else if (campaign.kind == "PAGEVIEW" && campaign.function == "ui_sb") {
      if (!checks) checks = std::make_shared<AnswerChecks>();
      campaign.prepared.checks = checks;
      campaign.prepared.slot = checks->add(campaign.params, checkedMap);
    }
    campaigns.push_back(std::move(campaign));
  }
  // A newer page view drops the campaigns unfiled, as their dispatch would.
  if (!filings.empty() && !isStale(page.execcounter)) fileCustomEventCampaigns(filings);

  auto& dispatch = platform::current().dispatch();
  for (auto& campaign : campaigns) {
    dispatch.mainAsync([engine, page, campaign = std::move(campaign)] {
      const auto state = engine.lock();
      if (!state) return;
      guarded("calledEvent", [&] {
        calledEvent(state, page.view.get(), campaign.params, page.link, campaign.kind,
                    campaign.function, page.client_map, page.execcounter, campaign.prepared);
      });
    });
  }
  dispatch.mainAsync([engine, page] {
    if (engine.lock()) guarded("replay", [&] { replayWaitingRequests(page); });
  });
}

}  // namespace tavrino::engine
