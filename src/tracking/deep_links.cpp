// Deep links: test switches, campaign parameters and push previews.

#include <array>
#include <string>

#include "core/shared_configuration.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"
#include "tavrino/util/transport.hpp"
#include "tracking/tracking.hpp"

namespace tavrino::tracking {
namespace {

// The only pairs a preview link may store: the test switches the SDK reads.
// Anything else in the link (the base URL, the visitor id, the push token...)
// stays untouched whatever the link says.
constexpr std::array<std::string_view, 4> kTestParameters = {"qivtest", "qivforce", "companyid",
                                                             "memberid"};

constexpr std::array<std::string_view, 5> kUtmNames = {"utm_source", "utm_medium", "utm_term",
                                                       "utm_campaign", "utm_content"};

// The pairs of the URL's query, as written (no decoding): key before the
// first "=", value after the last one; pieces without "=" are skipped. A key
// given twice keeps its last value.
StringMap queryPairs(std::string_view url) {
  StringMap pairs;
  const auto question = url.find('?');
  if (question == std::string_view::npos) return pairs;
  std::string_view query = url.substr(question + 1);
  query = query.substr(0, query.find('#'));
  while (!query.empty()) {
    const auto amp = query.find('&');
    const std::string_view piece = query.substr(0, amp);
    const auto firstEq = piece.find('=');
    if (firstEq != std::string_view::npos) {
      pairs[std::string(piece.substr(0, firstEq))] =
          std::string(piece.substr(piece.rfind('=') + 1));
    }
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return pairs;
}

const std::string* find(const StringMap& pairs, std::string_view key) {
  const auto it = pairs.find(std::string(key));
  return it == pairs.end() ? nullptr : &it->second;
}

bool allowsTestParameters(const StringMap& pairs) {
  const std::string* mode = find(pairs, "tavrino");
  if (!mode || *mode != "preview") return false;
  if (!isEnabledHash()) return true;
  const std::string* hash = find(pairs, "qivhash");
  return hash && *hash == Util::readDefault("_enable_hash");
}

void requestPushPreview(const StringMap& pairs) {
  StringMap request;
  for (std::string_view key : {"hash", "sid", "nid", "s"}) {
    if (const std::string* value = find(pairs, key)) request[std::string(key)] = *value;
  }
  const std::string token = Util::readDefault("qiv_token");
  if (!token.empty()) request["endpoint"] = token;
  request["preview"] = "1";
  Util::getRequest("pushsend", Util::createRequest("pushpreview", request));
}

}  // namespace

void handleDeepLink(const std::optional<std::string>& url) {
  const std::string called = "trackDeepLink/saveTestParameters called.";
  QivUtil::addLog(called);
  recordStep(called);
  if (!url) {
    QivUtil::addLog("trackDeepLink/saveTestParameters called. URL nil");
    return;
  }
  const StringMap pairs = queryPairs(*url);
  auto suite = Util::qivDefaults();
  suite->transaction([&] {
    if (allowsTestParameters(pairs)) {
      for (std::string_view key : kTestParameters) {
        if (const std::string* value = find(pairs, key)) suite->set(key, *value);
      }
    }
    if (const std::string* value = find(pairs, "qivparam")) suite->set("qivparam", *value);
    for (std::string_view utm : kUtmNames) {
      const std::string name = Util::getCookieToQIVDefaults("_" + std::string(utm), utm);
      if (name.empty()) continue;
      if (const std::string* value = find(pairs, name)) suite->set(name, *value);
    }
  });
  const std::string* preview = find(pairs, "qiv_p_preview");
  if (preview && *preview == "1") requestPushPreview(pairs);
}

// The page view leaves the empty text behind when the host stops passing a
// hash; no preview link could match it, so it means off.
bool isEnabledHash() {
  const auto value = Util::qivDefaults()->string("_enable_hash");
  return value && !value->empty() && *value != "0";
}

}  // namespace tavrino::tracking
