#include "core/reserved_keys.hpp"

#include <algorithm>
#include <array>
#include <string>

#include "tavrino/qiv_util.hpp"

namespace tavrino {
namespace {

constexpr std::array<std::string_view, 31> kReservedKeys = {
    // visitor and visit
    "uid", "uids", "cuid", "cuid2", "fvt", "vt", "lvt", "vc", "pvc", "ftu", "visitflag", "qiv_vstp",
    "qivrandom",
    // member, company, test and force modes
    "companyid", "memberid", "qivtest", "qivforce",
    // push, settings and the API key
    "qiv_token", "qiv_api_key", "qiv_provisional", "qivunregpush", "appqiv_provisional",
    "iosproappr", "pushcb",
    // install attribution
    "qiv_referral", "qiv_referral_suffix", "qiv_referral_adjust", "qiv_idfa",
    // inbox and badge bookkeeping
    "store_expired_messages", "inboxcb", "qivo_badges"};

// Also covers "qiv_inbox_groupname" and "qivo.custom.events_" + event.
constexpr std::array<std::string_view, 3> kReservedPrefixes = {"_", "qiv_inbox_", "qivo."};

}  // namespace

bool isReservedKey(std::string_view key) {
  return std::find(kReservedKeys.begin(), kReservedKeys.end(), key) != kReservedKeys.end() ||
         std::any_of(kReservedPrefixes.begin(), kReservedPrefixes.end(),
                     [&](std::string_view prefix) { return key.starts_with(prefix); });
}

bool refusesCampaignWrite(std::string_view key) {
  if (!isReservedKey(key)) return false;
  QivUtil::addLog("cookie refused, the key is the SDK's own : " + std::string(key));
  return true;
}

}  // namespace tavrino
