// The cookie functions that banner scripts call by name.

#include <cmath>
#include <limits>
#include <string>

#include "core/reserved_keys.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

struct CookieParameters {
  std::string name, value, timeout;
};

std::string entryText(const Value& params, const char* key) {
  if (!params.is_object()) return {};
  const auto it = params.find(key);
  return it == params.end() ? std::string() : describe(*it);
}

CookieParameters readParameters(const Value& params) {
  return {entryText(params, "cookie_name"), entryText(params, "cookie_value"),
          entryText(params, "cookie_timeout")};
}

// A timeout in minutes; "0" or no number means no lifetime (expiry 0). A
// fractional timeout counts its whole seconds.
std::int64_t expiryFromMinutes(const std::string& timeout) {
  double minutes = 0;
  if (!parseNumber(timeout, &minutes) || minutes == 0) return 0;
  constexpr double kLimit = 1e15;  // keeps the arithmetic inside 64 bits
  const double seconds = std::clamp(std::trunc(minutes * 60), -kLimit, kLimit);
  return platform::current().clock().epochSeconds() + static_cast<std::int64_t>(seconds);
}

// A payload's cookie function without a name would file its value under the
// empty key, which nothing reads or sends: it is refused instead, as are the
// SDK's own keys.
bool refusedName(const CookieParameters& p) {
  if (!p.name.empty()) return refusesCampaignWrite(p.name);
  QivUtil::addLog("cookie attr --> no cookie_name, nothing stored");
  return true;
}

std::string beforeFirstBlank(const std::string& text) {
  return text.substr(0, text.find(' '));
}

}  // namespace

void QivUtil::sc(const Value& params) {
  addLog("set cookie called");
  const auto p = readParameters(params);
  if (refusedName(p)) return;
  const std::int64_t expiry = expiryFromMinutes(p.timeout);
  addLog("cookie attr --> cookie_name : " + p.name + " cookie_value : " + p.value);
  Util::setCookieToQIVDefaults(p.name, p.value + " " + std::to_string(expiry));
}

std::string QivUtil::gc(const Value& params) {
  addLog("get cookie called");
  const auto p = readParameters(params);
  addLog("cookie attr --> cookie_name : " + p.name);
  return beforeFirstBlank(Util::readDefault(p.name));
}

void QivUtil::ic(const Value& params) {
  addLog("incremental cookie called");
  const auto p = readParameters(params);
  if (refusedName(p)) return;
  auto suite = Util::qivDefaults();
  suite->transaction([&] {
    std::string current = suite->string(p.name).value_or("");
    if (current.empty()) current = p.value;
    current = beforeFirstBlank(current);
    // Counts go through 64-bit integers (a double loses them above 2^53);
    // the largest count and values beyond 64 bits stay as they are.
    std::int64_t count = 0;
    double number = 0;
    if (parseInteger(current, &count)) {
      if (count < std::numeric_limits<std::int64_t>::max()) current = std::to_string(count + 1);
    } else if (parseNumber(current, &number) && std::abs(number) < 9e18) {
      current = std::to_string(static_cast<std::int64_t>(number) + 1);
    }
    const std::int64_t expiry = expiryFromMinutes(p.timeout);
    addLog("cookie attr --> cookie_name : " + p.name + " cookie_value : " + current);
    suite->set(p.name, current + " " + std::to_string(expiry));
  });
}

void QivUtil::sv(const Value&) {}
void QivUtil::gv(const Value&) {}

}  // namespace tavrino
