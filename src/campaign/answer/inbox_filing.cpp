// Campaigns that are also inbox messages: filed into the app group's inbox
// before they are dispatched.

#include <string>

#include "campaign/answer/engine_state.hpp"
#include "core/whole_numbers.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/inbox.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::engine {

void fileInboxCampaign(Value& params) {
  if (!Util::isEnabledAppInbox()) return;
  const std::string category = Util::tryCatch(params, "qivibxmt", "");
  const std::string lifetime = Util::tryCatch(params, "qivibxttl", "0");
  if (category.empty() || lifetime == "0") return;

  params["qivibxchannel"] = "campaign";
  const auto status = params.find("qivibxr");
  if (status == params.end() || status->is_null()) params["qivibxr"] = "2";

  const std::string decision = Util::hasInboxMessage(params);
  QivUtil::addLog("AsyncTask doinbackground called. hasinboxmessage : " + decision);
  if (decision != "write") return;

  const std::int64_t now = platform::current().clock().epochSeconds();
  const std::int64_t minutes = pageview::wholeOr(lifetime, 0);
  params["qivibxtimeout"] = pageview::saturatingAdd(now, pageview::saturatingMultiply(minutes, 60));
  params["qivibxdate"] = now;
  QivInbox inbox;
  inbox.setStoreName(Util::readDefault("qiv_inbox_groupname"));
  inbox.setMessage(params);
}

}  // namespace tavrino::engine
