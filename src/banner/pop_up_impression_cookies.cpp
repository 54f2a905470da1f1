// The cookies a shown banner leaves: the show cookie (per zone), the repeat
// cookie (per campaign), the impression cookie (per zone) and the unique
// "I,V" marker that later campaigns and the click report read.

#include <string>

#include "core/shared_configuration.hpp"
#include "pop_up_impression.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/store.hpp"
#include "tracking/tracking_numbers.hpp"

namespace tavrino::banner {
namespace {

using tracking::lifetimeSeconds;
using tracking::saturatingAdd;

constexpr std::int64_t kOneDay = 86400;

// A lifetime in minutes as seconds: a number of at least 0 other than "0"
// (fractions count their whole seconds); nothing otherwise.
std::optional<std::int64_t> setLifetime(const std::string& minutes) {
  if (minutes == "0") return std::nullopt;
  return lifetimeSeconds(minutes);
}

bool isOn(const std::string& flag) {
  return flag == "1" || flag == "true";
}

}  // namespace

// Without a lifetime of its own a cookie lives "cend" minutes and a day.
ImpressionEnds impressionEnds(const Value& params, std::int64_t now) {
  const std::string bannerMinutes =
      processState().withConfig([](SharedConfiguration& c) { return c.bannerTime; });
  const std::int64_t fallback = saturatingAdd(
      now, saturatingAdd(lifetimeSeconds(Util::tryCatch(params, "cend", "1440")).value_or(kOneDay),
                         kOneDay));
  const auto after = [&](const char* key, const std::string& defaultMinutes) {
    const auto seconds = setLifetime(Util::tryCatch(params, key, defaultMinutes));
    return seconds ? std::optional(saturatingAdd(now, *seconds)) : std::nullopt;
  };
  ImpressionEnds ends;
  ends.show = after("ccend", "0").value_or(fallback);
  ends.repeat = after("rcend", "0").value_or(ends.show);
  ends.impression = after("icend", bannerMinutes).value_or(fallback);
  return ends;
}

void writeImpressionCookies(const Value& params) {
  const std::string zbid = Util::tryCatch(params, "zbid", "0");
  const std::string zid = Util::tryCatch(params, "zid", "0");
  const std::string clickid = Util::tryCatch(params, "clickid", "1");
  const bool show =
      Util::tryCatch(params, "stc", "0") == "1" || isOn(Util::tryCatch(params, "sckie", "0"));
  const bool repeat = Util::tryCatch(params, "rckie", "") == "1";
  const std::string ickie = Util::tryCatch(params, "ickie", "1");
  const bool impression = ickie != "0" && ickie != "false";
  const ImpressionEnds ends = impressionEnds(params, tracking::nowSeconds());

  auto suite = Util::qivDefaults();
  suite->transaction([&] {
    if (show) suite->set("qiv_s_" + zid, zbid + " " + std::to_string(ends.show));
    if (repeat) suite->set("qiv_r_" + zbid, "1 " + std::to_string(ends.repeat));
    if (!impression) return;
    suite->set("qiv_i_" + zid, zbid + " " + std::to_string(ends.impression));
    if (!Util::hasUniqueCookie(zbid, clickid, "I") && !Util::hasUniqueCookie(zbid, clickid, "V")) {
      Util::addUniqueCookie(zbid, clickid, ends.impression, "I,V");
    }
  });
}

}  // namespace tavrino::banner
