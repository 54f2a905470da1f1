#pragma once

// The click cookies that later campaigns are targeted by, shared by the
// facade's click methods and the banner's click handling.

#include "tavrino/value.hpp"

namespace tavrino::tracking {

// Unless "cckie" is "false" or "0", stores "qiv_c_" + zbid ← "1 " + end and
// "qiv_lzbid" + appid ← zbid + " " + end in one transaction, where end is now
// plus "clcend" minutes ("0" or no lifetime: the configured click minutes).
void writeClickCookies(const Value& parameters);

}  // namespace tavrino::tracking
