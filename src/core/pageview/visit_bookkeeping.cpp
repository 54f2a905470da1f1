// Visits: a page view more than the visit time-out after the last activity
// starts a new visit. Stored times and counters that are not whole numbers
// read as absent.

#include "core/pageview/visit_bookkeeping.hpp"

#include <cstdio>
#include <random>

#include "core/pageview/whole_numbers.hpp"
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
    store.set("vt", std::to_string(now));
    store.set("vc", std::to_string(vc));
    store.set("pvc", "0");
    store.set("qiv_vstp", std::to_string(vt));
    store.set("visitflag", "true");
    for (const auto& [key, value] : store.dictionaryRepresentation()) {
      if (key.starts_with("visitcount_")) store.remove(key);
    }
    return vc;
  }
  store.set("vt", std::to_string(now));
  store.set("qiv_vstp", std::to_string(vt));
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
    store->set("uid", id);
    for (const char* key : {"fvt", "vt", "lvt", "qiv_vstp"}) store->set(key, nowText);
    store->set("vc", "1");
    store->set("pvc", "1");
    store->set("uids", id + ls + nowText + ls + nowText + ls + nowText);
    store->set("visitflag", "true");
    store->set("ftu", "1");
    return 1;
  }

  const std::int64_t fvt = storedWhole(*store, "fvt");
  const std::int64_t vt = storedWhole(*store, "vt");
  const std::int64_t pvc = saturatingAdd(counterValue(store->string("pvc").value_or("")), 1);
  std::int64_t vc = counterValue(store->string("vc").value_or(""));
  if (vc == 0) vc = newVisitCount;
  const std::string fvtText = fvt == 0 ? nowText : std::to_string(fvt);
  const std::string vtText = vt == 0 ? nowText : std::to_string(vt);
  store->set("uid", uid);
  store->set("fvt", fvtText);
  store->set("vt", vtText);
  store->set("vc", std::to_string(vc));
  store->set("pvc", std::to_string(pvc));
  store->set("lvt", nowText);
  store->set("uids", uid + ls + fvtText + ls + vtText + ls + nowText);
  if (pvc == 1 && vc == 1) {
    store->set("ftu", "1");
  } else {
    store->remove("ftu");
  }
  return pvc;
}

}  // namespace tavrino::pageview
