// Listing badges: the host's activation waits for the page view's answer.

#include "core/shared_configuration.hpp"
#include "tavrino/client.hpp"
#include "tavrino/qiv_util.hpp"

namespace tavrino {

void Tavrino::activateListingBadge(const ViewControllerPtr&, const StringMap& localmap) {
  QivUtil::addLog("activateListingBadge metot triggered");
  const bool queued = processState().withCampaign([&](CampaignState& c) {
    if (c.responseReady) return false;
    c.pendingBadgeRequested = true;
    c.pendingBadgeMaps.push_back(localmap);
    return true;
  });
  if (queued) QivUtil::addLog("d response not ready");
}

}  // namespace tavrino
