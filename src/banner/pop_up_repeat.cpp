#include "pop_up_repeat.hpp"

#include <string>

#include "tavrino/qiv_util.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/store.hpp"
#include "tracking/tracking.hpp"

namespace tavrino::banner {

void repeatCustomEvent(const Value& params, const std::shared_ptr<ui::ViewController>& view,
                       const StringMap& client_map) {
  if (Util::tryCatch(params, "shEvn", "PAGEVIEW") != "CUSTOMEVENT") return;
  if (!params.is_object()) return;
  const auto run = params.find("run");
  if (run == params.end() || !run->is_object()) return;

  std::int64_t maxrepeat = 0;
  if (!parseInteger(Util::tryCatch(*run, "maxrepeat", "0"), &maxrepeat)) {
    maxrepeat = kDefaultMaxRepeat;
  }
  const std::string repeatevent = Util::tryCatch(*run, "repeatevent", "0");

  // A stored count that is no positive whole number starts the series again.
  std::int64_t count = 1;
  bool exhausted = count > maxrepeat;
  const std::string stored = Util::getCookieToQIVDefaults(kRepeatCountKey, "0");
  std::int64_t previous = 0;
  if (stored != "0" && parseInteger(stored, &previous) && previous > 0) {
    exhausted = previous >= maxrepeat;
    if (!exhausted) count = previous + 1;
  }

  const std::string evn = Util::tryCatch(params, "evn", "");
  const auto dot = evn.rfind('.');
  const std::string event = dot == std::string::npos ? evn : evn.substr(dot + 1);

  if (exhausted || repeatevent != "1") {
    Util::removeCookieFromQIVDefaults(kRepeatCountKey);
    return;
  }
  // Counted before the event runs: a banner the event shows at once reads
  // this count, so the series still ends.
  Util::setCookieToQIVDefaults(kRepeatCountKey, std::to_string(count));
  tracking::createCustomEvent(event, view, client_map);
  QivUtil::addLog("repeat custom event : " + event + ". Repeat count : " + std::to_string(count) +
                  ". max repeat count : " + std::to_string(maxrepeat));
}

}  // namespace tavrino::banner
