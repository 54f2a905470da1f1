// The store entries that ride along with every standard request, and the
// expiry sweep done on the same walk.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tavrino/platform/platform.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::Util {
namespace {

// Entries sent as they are stored.
constexpr std::array<std::string_view, 10> kForwardedKeys = {"uids",
                                                             "cuid2",
                                                             "qiv_vstp",
                                                             "qiv_referral",
                                                             "qiv_referral_suffix",
                                                             "qiv_referral_adjust",
                                                             "qiv_idfa",
                                                             "qivparam",
                                                             "qivunregpush",
                                                             "qiv_provisional"};

constexpr std::array<std::string_view, 5> kUtmSwitches = {"_utm_source", "_utm_medium", "_utm_term",
                                                          "_utm_campaign", "_utm_content"};

// An expiring value "value expiry", split at its blanks.
struct ExpiringValue {
  std::string value;
  std::int64_t expiry = 0;
};

// Returns the value and expiry of a text with a blank; nothing when the piece
// after the first blank is not a whole number (left alone: neither sent nor
// removed, since no writer produces it).
std::optional<ExpiringValue> parseExpiring(const std::string& text) {
  const auto blank = text.find(' ');
  const auto end = text.find(' ', blank + 1);
  ExpiringValue parsed{text.substr(0, blank), 0};
  if (!parseInteger(std::string_view(text).substr(blank + 1, end - (blank + 1)), &parsed.expiry)) {
    return std::nullopt;
  }
  return parsed;
}

bool isForwarded(const std::string& key, const std::vector<std::string>& utmKeys) {
  for (auto name : kForwardedKeys) {
    if (key == name) return true;
  }
  for (const auto& name : utmKeys) {
    if (key == name) return true;
  }
  return false;
}

bool containsBlank(const Value& value) {
  return value.is_string() && value.get_ref<const std::string&>().find(' ') != std::string::npos;
}

}  // namespace

std::string createLinkForUserDefaults() {
  auto suite = qivDefaults();
  std::vector<std::string> utmKeys;
  for (auto name : kUtmSwitches) {
    utmKeys.push_back(suite->string(name).value_or(std::string(name.substr(1))));
  }
  const std::int64_t now = platform::current().clock().epochSeconds();

  std::string pairs;
  std::vector<std::pair<std::string, Value>> expired;
  for (auto& [key, value] : suite->dictionaryRepresentation()) {
    if (isForwarded(key, utmKeys)) {
      pairs += encodeForUrl(key, describe(value));
    } else if ((key.starts_with("qiv_") || key.starts_with("app_qiv")) &&
               key.find("qiv_token") == std::string::npos &&
               key.find("qiv_vstp") == std::string::npos) {
      if (!containsBlank(value)) continue;
      const auto parsed = parseExpiring(value.get_ref<const std::string&>());
      if (!parsed) continue;
      if (now <= parsed->expiry) {
        pairs += encodeForUrl(key, parsed->value);
      } else {
        expired.emplace_back(std::move(key), std::move(value));
      }
    } else if (key.starts_with("_company_settings") && containsBlank(value)) {
      const auto parsed = parseExpiring(value.get_ref<const std::string&>());
      if (parsed && now > parsed->expiry) expired.emplace_back(std::move(key), std::move(value));
    }
  }

  if (!expired.empty()) {
    suite->transaction([&] {
      // An entry rewritten since the walk (a fresh expiry) stays.
      for (const auto& [key, value] : expired) {
        if (suite->object(key) == value) suite->remove(key);
      }
    });
  }
  return pairs;
}

}  // namespace tavrino::Util
