// The show criteria of a banner or badge campaign: stale page views,
// hold-back markers, show counts per device, visit or page view, and the
// show-once rule. A count is written before the campaign is handed on.

#include <cmath>
#include <string>

#include "campaign/answer/engine_state.hpp"
#include "core/shared_configuration.hpp"
#include "core/whole_numbers.hpp"
#include "tavrino/campaign/ui_sb.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/criteria.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::criteria {
namespace {

constexpr std::int64_t kDefaultShowLimit = 99999;

// Banner work started for an earlier page view carries its counter; work
// without one (a shake) is never stale.
bool isStalePageView(const StringMap& client_map) {
  const auto it = client_map.find("_execcounter");
  double number = 0;
  if (it == client_map.end() || !parseNumber(it->second, &number)) return false;
  const std::int64_t current = processState().execcounter();
  std::int64_t whole = 0;
  if (parseInteger(it->second, &whole)) return whole != current;
  return !(std::trunc(number) == number && number == static_cast<double>(current));
}

// Returns true iff a hold-back switch is on and its marker is set.
bool isHeldBack(const Value& params, std::string_view zbid) {
  const std::string zid = Util::tryCatch(params, "zid", "");
  const std::pair<const char*, std::string> tests[] = {
      {"rafi", "qiv_i_" + zid},
      {"rafs", "qiv_s_" + zid},
      {"rafc", "qiv_c_" + std::string(zbid)},
      {"rafr", "qiv_r_" + std::string(zbid)},
  };
  for (const auto& [flag, key] : tests) {
    if (Util::tryCatch(params, flag, "") == "1" && !Util::readDefault(key).empty()) return true;
  }
  return false;
}

std::int64_t storedCount(const std::string& key) {
  return pageview::counterValue(Util::readDefault(key));
}

void storeCount(const std::string& key, std::int64_t count) {
  Util::setCookieToQIVDefaults(key, std::to_string(pageview::saturatingAdd(count, 1)));
}

// Applies the counting mode; returns true iff the campaign is to be shown
// (its counter already written).
bool passesCounts(std::string_view uvp, std::string_view zbid, std::int64_t limit,
                  const Value& params) {
  const std::string id(zbid);
  if (uvp == "u") {
    const std::int64_t count = storedCount("usercount_" + id);
    if (count >= limit) {
      QivUtil::addLog("checking showing criteria .per unique visitor show count.return.");
      return false;
    }
    if (!Util::checkShowOncePerPageview(params)) return false;
    storeCount("usercount_" + id, count);
    return true;
  }
  if (uvp == "v") {
    const std::int64_t count = storedCount("visitcount_" + id);
    if (count >= limit) {
      QivUtil::addLog("checking showing criteria .per visit show count.return.");
      return false;
    }
    if (!Util::checkShowOncePerPageview(params)) return false;
    storeCount("visitcount_" + id, count);
    return true;
  }
  if (uvp == "p") return Util::checkShowOncePerPageview(params);
  if (uvp == "w") {
    const std::int64_t count = storedCount("uservisitcount_" + id);
    if (count < limit && Util::readDefault("visitflag") == "true") {
      if (!Util::checkShowOncePerPageview(params)) return false;
      storeCount("uservisitcount_" + id, count);
      Util::setCookieToQIVDefaults("visitflag", "false");
      return true;
    }
    QivUtil::addLog(
        "checking showing criteria .per unique visitor(1 per visit) show count.return.");
  }
  return false;
}

}  // namespace

bool decideShow(std::string_view uvp, std::string_view zbid, std::string_view shCnt,
                const Value& params, const StringMap& client_map) {
  QivUtil::addLog("checking showing criteria ");
  if (isStalePageView(client_map)) {
    QivUtil::addLog("checkEvent execcount did not match");
    return false;
  }
  const std::int64_t limit = pageview::wholeOr(shCnt, kDefaultShowLimit);
  bool show = false;
  // One transaction: another process sharing the store cannot slip a show
  // in between reading a count and writing it.
  auto suite = Util::qivDefaults();
  suite->transaction([&] {
    if (isHeldBack(params, zbid)) return;
    show = passesCounts(uvp, zbid, limit, params);
  });
  return show;
}

void checkEvent(std::string_view uvp, std::string_view zbid, std::string_view shCnt,
                const Value& params, const ViewControllerPtr& view, std::string_view link,
                const StringMap& client_map) {
  if (decideShow(uvp, zbid, shCnt, params, client_map)) {
    ui_sb().setParameters(params, view, link, client_map);
  }
}

}  // namespace tavrino::criteria
