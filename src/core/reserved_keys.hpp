#pragma once

// The store keys the SDK keeps for itself, which campaign data (the answer's
// cookie instructions, the banner-script cookie functions) may not write.

#include <string_view>

namespace tavrino {

// Whether key is the SDK's own: every key starting with "_" (switches,
// settings, the base URL, the company), the visitor, visit, member, token,
// test, attribution and push keys, and the inbox and badge bookkeeping.
bool isReservedKey(std::string_view key);

// Returns true, with a log line, when campaign data must not write key.
bool refusesCampaignWrite(std::string_view key);

}  // namespace tavrino
