// Visits: a page view more than the visit time-out after the last activity
// starts a new visit. Stored times and counters that are not whole numbers
// read as absent.

#include "client/pageview/visit_bookkeeping.hpp"

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "core/store_writes.hpp"
#include "core/whole_numbers.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::pageview {
namespace {

std::int64_t storedWhole(platform::UserDefaultsSuite& store, std::string_view key) {
  return wholeOr(store.string(key).value_or(""), 0);
}

// Starts a new visit when the last activity is too long ago. Returns the
// visit count of a new visit, else 0.
std::int64_t updateVisit(platform::UserDefaultsSuite& store, std::int64_t now,
                         std::int64_t visitTimeoutSeconds) {
  const std::int64_t vt = storedWhole(store, "vt");
  if (saturatingAdd(vt, visitTimeoutSeconds) < now) {
    const std::int64_t stored = counterValue(store.string("vc").value_or(""));
    const std::int64_t vc = stored == 0 ? 1 : saturatingAdd(stored, 1);
    setText(store, "vt", std::to_string(now));
    setText(store, "vc", std::to_string(vc));
    setText(store, "pvc", "0");
    setText(store, "qiv_vstp", std::to_string(vt));
    setText(store, "visitflag", "true");
    std::vector<std::string> visitCounts;
    store.forEachEntry("visitcount_",
                       [&](std::string_view key, const Value&) { visitCounts.emplace_back(key); });
    for (const auto& key : visitCounts) store.remove(key);
    return vc;
  }
  setText(store, "vt", std::to_string(now));
  setText(store, "qiv_vstp", std::to_string(vt));
  return 0;
}

}  // namespace

std::string newVisitorId() {
  thread_local std::mt19937_64 engine{std::random_device{}()};
  const std::uint64_t high = engine();
  const std::uint64_t low = engine();
  std::uint8_t bytes[16];
  for (int i = 0; i < 8; ++i) {
    bytes[i] = static_cast<std::uint8_t>(high >> (56 - 8 * i));
    bytes[8 + i] = static_cast<std::uint8_t>(low >> (56 - 8 * i));
  }
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  char text[37];
  std::snprintf(text, sizeof text,
                "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", bytes[0],
                bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return text;
}

std::int64_t recordPageView(std::int64_t now, std::int64_t visitTimeoutSeconds,
                            const std::string& ls) {
  auto store = Util::qivDefaults();
  const std::int64_t newVisitCount = updateVisit(*store, now, visitTimeoutSeconds);
  const std::string nowText = std::to_string(now);

  const std::string uid = store->string("uid").value_or("");
  if (uid.empty()) {
    const std::string id = newVisitorId();
    setText(*store, "uid", id);
    for (const char* key : {"fvt", "vt", "lvt", "qiv_vstp"}) setText(*store, key, nowText);
    setText(*store, "vc", "1");
    setText(*store, "pvc", "1");
    setText(*store, "uids", id + ls + nowText + ls + nowText + ls + nowText);
    setText(*store, "visitflag", "true");
    setText(*store, "ftu", "1");
    return 1;
  }

  const std::int64_t fvt = storedWhole(*store, "fvt");
  const std::int64_t vt = storedWhole(*store, "vt");
  const std::int64_t pvc = saturatingAdd(counterValue(store->string("pvc").value_or("")), 1);
  std::int64_t vc = counterValue(store->string("vc").value_or(""));
  if (vc == 0) vc = newVisitCount;
  const std::string fvtText = fvt == 0 ? nowText : std::to_string(fvt);
  const std::string vtText = vt == 0 ? nowText : std::to_string(vt);
  setText(*store, "uid", uid);
  setText(*store, "fvt", fvtText);
  setText(*store, "vt", vtText);
  setText(*store, "vc", std::to_string(vc));
  setText(*store, "pvc", std::to_string(pvc));
  setText(*store, "lvt", nowText);
  setText(*store, "uids", uid + ls + fvtText + ls + vtText + ls + nowText);
  if (pvc == 1 && vc == 1) {
    setText(*store, "ftu", "1");
  } else {
    removeKey(*store, "ftu");
  }
  return pvc;
}

}  // namespace tavrino::pageview
