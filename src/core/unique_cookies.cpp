// Unique cookies: "qiv_z_<zbid>_<clickid>" = "m1,m2,... expiry", recording
// which kinds of thing happened for a campaign and an item.

#include <string>
#include <vector>

#include "tavrino/util/store.hpp"

namespace tavrino::Util {
namespace {

std::string uniqueCookieKey(std::string_view zbid, std::string_view clickid) {
  std::string key = "qiv_z_";
  key.append(zbid).append("_").append(clickid);
  return key;
}

// Calls fn with each ","-separated piece of markers, empty ones included.
template <typename Fn>
void forEachMarker(std::string_view markers, Fn&& fn) {
  while (true) {
    const auto comma = markers.find(',');
    fn(markers.substr(0, comma));
    if (comma == std::string_view::npos) return;
    markers.remove_prefix(comma + 1);
  }
}

// The markers are the part before the first blank, split at ",".
bool hasMarker(std::string_view stored, std::string_view marker) {
  bool found = false;
  forEachMarker(stored.substr(0, stored.find(' ')),
                [&](std::string_view candidate) { found = found || candidate == marker; });
  return found;
}

std::vector<std::string> splitAtBlanks(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    const auto blank = text.find(' ', start);
    if (blank == std::string::npos) {
      parts.push_back(text.substr(start));
      break;
    }
    parts.push_back(text.substr(start, blank - start));
    start = blank + 1;
  }
  return parts;
}

}  // namespace

bool hasUniqueCookie(std::string_view zbid, std::string_view clickid, std::string_view type) {
  const std::string stored = readDefault(uniqueCookieKey(zbid, clickid));
  if (stored.empty() || type.empty()) return false;
  return hasMarker(stored, type);
}

void addUniqueCookie(std::string_view zbid, std::string_view clickid, std::int64_t timeout,
                     std::string_view value) {
  const std::string key = uniqueCookieKey(zbid, clickid);
  auto suite = qivDefaults();
  suite->transaction([&] {
    const std::string stored = suite->string(key).value_or("");
    if (stored.empty()) {
      if (!value.empty()) {
        suite->set(key, std::string(value) + " " + std::to_string(timeout));
      }
      return;
    }
    if (stored.find(' ') == std::string::npos) return;
    // The value may name several markers ("I,V"): only the missing ones join.
    std::string list = stored.substr(0, stored.find(' '));
    bool added = false;
    forEachMarker(value, [&](std::string_view marker) {
      if (marker.empty() || hasMarker(list, marker)) return;
      list.append(",").append(marker);
      added = true;
    });
    if (!added) return;
    const auto parts = splitAtBlanks(stored);
    std::int64_t expiry = timeout;
    if (expiry == 0 && parts.size() > 1 && !parseInteger(parts[1], &expiry)) expiry = 0;
    suite->set(key, list + " " + std::to_string(expiry));
  });
}

void addActionUniqueCookie(std::string_view lzbid, std::string_view aid) {
  const std::string marker = "AC" + std::string(aid);
  if (lzbid == "1") {
    for (const auto& [key, value] : _gcvp("qiv_lzbid")) {
      addUniqueCookie(value.substr(0, value.find(':')), "1", 0, marker);
    }
    return;
  }
  for (const auto& [key, value] : _gcvp("qiv_c_")) {
    const auto colon = value.find(':');
    if (colon == std::string::npos) {
      addUniqueCookie(key.substr(6), value, 0, marker);
      continue;
    }
    const std::string campaign = value.substr(0, colon);
    const auto next = value.find(':', colon + 1);
    std::string item = value.substr(colon + 1, next == std::string::npos ? next : next - colon - 1);
    addUniqueCookie(campaign, item, 0, marker);
  }
}

}  // namespace tavrino::Util
