// Clicks and impressions: the click cookies that later campaigns are targeted
// by, and the "track" hits that report them.

#include <algorithm>
#include <string>

#include "core/shared_configuration.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/inbox.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"
#include "tavrino/util/transport.hpp"
#include "tracking/click_cookies.hpp"
#include "tracking/tracking.hpp"
#include "tracking/tracking_numbers.hpp"

namespace tavrino {
namespace {

using tracking::lifetimeSeconds;
using tracking::saturatingAdd;

constexpr std::int64_t kDefaultClickSeconds = 1440 * 60;

std::string configured(std::string SharedConfiguration::*field) {
  return processState().withConfig([&](SharedConfiguration& c) { return c.*field; });
}

bool isNonZeroNumber(std::string_view text) {
  const auto value = tracking::decimalNumber(text);
  return value && *value != 0;
}

bool cookiesRefused(std::string_view cckie) {
  return cckie == "false" || cckie == "0";
}

// The click cookie lifetime: "clcend" minutes, else the configured click
// minutes ("0" and anything that is not a lifetime fall back too).
std::int64_t clickCookieSeconds(std::string_view clcend, const std::string& configuredMinutes) {
  if (clcend != "0") {
    if (const auto seconds = lifetimeSeconds(clcend)) return *seconds;
  }
  return lifetimeSeconds(configuredMinutes).value_or(kDefaultClickSeconds);
}

}  // namespace

void tracking::writeClickCookies(const Value& parameters) {
  const std::string configuredMinutes = configured(&SharedConfiguration::clickCookieMinutes);
  const std::string zbid = Util::tryCatch(parameters, "zbid", "0");
  const std::string cckie = Util::tryCatch(parameters, "cckie", "1");
  const std::string clcend = Util::tryCatch(parameters, "clcend", configuredMinutes);
  const std::string appid = Util::tryCatch(parameters, "appid", "");
  if (cookiesRefused(cckie)) return;
  const std::string expiry = std::to_string(
      saturatingAdd(tracking::nowSeconds(), clickCookieSeconds(clcend, configuredMinutes)));
  auto suite = Util::qivDefaults();
  suite->transaction([&] {
    suite->set("qiv_c_" + zbid, "1 " + expiry);
    suite->set("qiv_lzbid" + appid, zbid + " " + expiry);
  });
}

namespace {

std::string impressionList() {
  std::string list;
  for (const auto& [key, value] : Util::_gcvp("qiv_i_")) {
    if (!list.empty()) list += ',';
    list += value;
  }
  return list;
}

void sendClickHit(const Value& parameters, const StringMap& client_map, StringMap hit) {
  hit["s"] = configured(&SharedConfiguration::companyId);
  hit["di"] = Util::tryCatch(parameters, "di", "");
  hit["at"] = Util::tryCatch(parameters, "at", "");
  hit["zbid"] = Util::tryCatch(parameters, "zbid", "0");
  hit["vzbid"] = impressionList();
  hit["r"] = tracking::randomPercent();
  hit["a"] = "c";
  Util::getRequest("click", Util::createRequest("track", Util::mergeMaps(client_map, hit)));
}

StringMap bulkViewKeys(const Value& parameters) {
  if (!isNonZeroNumber(Util::tryCatch(parameters, "bvw", "0"))) return {};
  return {{"qivcfrom", "bulkview"}};
}

// How long the unique click marker of _clink lives, in seconds.
std::int64_t clickMarkerSeconds(const Value& parameters) {
  const auto icend = lifetimeSeconds(
      Util::tryCatch(parameters, "icend", configured(&SharedConfiguration::bannerTime)));
  const auto clcend = lifetimeSeconds(
      Util::tryCatch(parameters, "clcend", configured(&SharedConfiguration::clickCookieMinutes)));
  std::int64_t seconds = icend && clcend ? std::max(*icend, *clcend) : 86400;
  if (const auto cend = lifetimeSeconds(Util::tryCatch(parameters, "cend", "1440"))) {
    seconds = saturatingAdd(seconds, *cend);
  }
  return seconds;
}

}  // namespace

void tracking::track(const Value& parameters, const StringMap& client_map) {
  sendClickHit(parameters, client_map, bulkViewKeys(parameters));
}

void tracking::saveClickEvent(const Value& parameters, const StringMap& client_map) {
  tracking::writeClickCookies(parameters);
  sendClickHit(parameters, client_map, {});
}

void tracking::szbid(const Value& parameters) {
  tracking::writeClickCookies(parameters);
}

void tracking::saveClickCookie(const Value& parameters, const ViewControllerPtr& view,
                               const StringMap& client_map) {
  const std::string zbid = Util::tryCatch(parameters, "zbid", "0");
  const std::string clickid = Util::tryCatch(parameters, "clickid", "1");
  QivUtil::run_functions("C", parameters, view);
  createCustomEvent("qiv_click_" + zbid + "_" + clickid, view, client_map);
  Util::markAsReadInboxMessage(zbid);
  tracking::writeClickCookies(parameters);
}

void tracking::clink(const Value& parameters, const StringMap& client_map) {
  StringMap extra = bulkViewKeys(parameters);
  const std::string cmmid = Util::tryCatch(parameters, "cqivcmmid", "0");
  if (isNonZeroNumber(cmmid)) extra["qivcmmid"] = cmmid;
  const std::string cmmdelay = Util::tryCatch(parameters, "cqivcmmdelay", "");
  if (!cmmdelay.empty()) extra["qivcmmdelay"] = cmmdelay;
  const std::string cmmtyp = Util::tryCatch(parameters, "cqivcmmtyp", "");
  if (!cmmtyp.empty()) extra["qivcmmtyp"] = cmmtyp;
  sendClickHit(parameters, client_map, std::move(extra));

  if (cookiesRefused(Util::tryCatch(parameters, "cckie", "1"))) return;
  const std::string zbid = Util::tryCatch(parameters, "zbid", "0");
  const std::string clickid = Util::tryCatch(parameters, "clickid", "1");
  if (Util::hasUniqueCookie(zbid, clickid, "C")) return;
  Util::addUniqueCookie(zbid, clickid,
                        saturatingAdd(tracking::nowSeconds(), clickMarkerSeconds(parameters)), "C");
}

}  // namespace tavrino
