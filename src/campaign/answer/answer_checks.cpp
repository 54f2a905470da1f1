#include "campaign/answer/answer_checks.hpp"

#include "campaign/criteria/show_criteria.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::engine {
namespace {

struct Criteria {
  std::string uvp, zbid;
  std::int64_t limit;
};

Criteria criteriaOf(const Value& params) {
  return {Util::tryCatch(params, "uvp", ""), Util::tryCatch(params, "zbid", "0"),
          criteria::showLimit(Util::tryCatch(params, "shCnt", "99999"))};
}

}  // namespace

std::size_t AnswerChecks::add(const Value& params, const StringMap& client_map) {
  campaigns_.push_back({params, client_map, false, false, {}});
  return campaigns_.size() - 1;
}

bool AnswerChecks::passes(std::size_t slot) {
  if (slot >= campaigns_.size()) return false;
  Campaign& campaign = campaigns_[slot];
  if (!campaign.checked) {
    if (batchFailed_) return checkAlone(campaign);
    checkFrom(slot);
    if (!campaign.checked) return checkAlone(campaign);
  }
  for (auto& line : campaign.lines) QivUtil::addLog(std::move(line));
  campaign.lines.clear();
  return campaign.show;
}

void AnswerChecks::checkFrom(std::size_t slot) {
  // Decided inside the transaction, kept only once it has committed.
  std::vector<std::pair<bool, std::vector<std::string>>> outcomes(campaigns_.size() - slot);
  const bool committed = Util::qivDefaults()->transaction([&] {
    for (std::size_t i = slot; i < campaigns_.size(); ++i) {
      if (campaigns_[i].checked) continue;
      auto& [show, lines] = outcomes[i - slot];
      const criteria::CheckLog log(lines);
      log("checking showing criteria ");
      if (criteria::isStalePageView(campaigns_[i].client_map, log)) continue;
      const Criteria c = criteriaOf(campaigns_[i].params);
      show = criteria::passesStoredCriteria(c.uvp, c.zbid, c.limit, campaigns_[i].params, log);
    }
  });
  if (!committed) {
    batchFailed_ = true;
    return;
  }
  for (std::size_t i = slot; i < campaigns_.size(); ++i) {
    if (campaigns_[i].checked) continue;
    campaigns_[i].checked = true;
    campaigns_[i].show = outcomes[i - slot].first;
    campaigns_[i].lines = std::move(outcomes[i - slot].second);
  }
}

bool AnswerChecks::checkAlone(Campaign& campaign) {
  campaign.checked = true;
  const Value& params = campaign.params;
  return criteria::decideShow(
      Util::tryCatch(params, "uvp", ""), Util::tryCatch(params, "zbid", "0"),
      Util::tryCatch(params, "shCnt", "99999"), params, campaign.client_map);
}

}  // namespace tavrino::engine
