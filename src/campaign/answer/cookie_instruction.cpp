// Cookie instructions of an answer: the service sets an expiring cookie.

#include <string>

#include "campaign/answer/engine_state.hpp"
#include "core/reserved_keys.hpp"
#include "core/whole_numbers.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::engine {

void applyCookieInstruction(const Value& params) {
  const std::string name = Util::tryCatch(params, "n", "");
  const std::string value = Util::tryCatch(params, "v", "");
  std::string expiry = Util::tryCatch(params, "t", "0");
  const std::string dup = Util::tryCatch(params, "dup", "");
  if (name.empty()) {
    QivUtil::addLog("cookie instruction skipped. no name");
    return;
  }
  // A lifetime that is a number becomes an expiry; a fraction counts as no
  // lifetime at all. Any other text is kept as the service sent it.
  if (parseNumber(expiry, nullptr)) {
    const std::int64_t now = platform::current().clock().epochSeconds();
    expiry = std::to_string(pageview::saturatingAdd(pageview::wholeOr(expiry, 0), now));
  }
  const std::string key = (dup == "true" ? "qiv_" : "") + name;
  if (refusesCampaignWrite(key)) return;
  Util::setCookieToQIVDefaults(key, value + " " + expiry);
}

}  // namespace tavrino::engine
