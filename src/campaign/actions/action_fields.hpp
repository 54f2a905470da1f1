#pragma once

// What actions and labels share: their parameters, the report they send, the
// occurrence counter of the counted mode.
//
// Thread-safety: main thread only.

#include <cstdint>
#include <string>
#include <string_view>

#include "tavrino/platform/user_defaults.hpp"
#include "tavrino/value.hpp"

namespace tavrino::actions {

struct ActionFields {
  std::string id, di, pt, e, lv, to, v, lto, ilcc, lzbid, at, n;
  std::string qivcmmtyp, qivcmmdelay, qivcmmid, bvw, spid, spidf;
};

ActionFields readFields(const Value& params);

// When the recorded state lapses: now + "lto" minutes. An "lto" that is not a
// whole number counts as 0.
std::int64_t expiryTime(std::string_view lto);

// The "track" URL that reports the action or label.
std::string reportUrl(const ActionFields& fields, const StringMap& client_map);

// Counts one occurrence under key ("count time"). The first occurrence, and
// one after a stored text that is not two whole numbers, starts at 1 and never
// fires; one within "to" minutes of the previous adds one, a later one
// restarts at 0. Returns true iff the new count equals "lv" (a whole number).
bool countOccurrence(platform::UserDefaultsSuite& suite, const std::string& key,
                     std::string_view to, std::string_view lv);

std::string counterKey(const ActionFields& fields);
std::string recordKey(const ActionFields& fields);

}  // namespace tavrino::actions
