#include "service/recorded_request.hpp"

#include <algorithm>
#include <cctype>

namespace tavrino::service {
namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
    return std::tolower(x) == std::tolower(y);
  });
}

Json pairsToJson(const std::vector<std::pair<std::string, std::string>>& pairs) {
  Json out = Json::array();
  for (const auto& [key, value] : pairs) out.push_back(Json::array({key, value}));
  return out;
}

}  // namespace

std::string percentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = hexValue(text[i + 1]);
      const int low = hexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

QueryPairs parseQuery(std::string_view target) {
  QueryPairs pairs;
  const auto question = target.find('?');
  if (question == std::string_view::npos) return pairs;
  std::string_view query = target.substr(question + 1);
  if (const auto hash = query.find('#'); hash != std::string_view::npos) {
    query = query.substr(0, hash);
  }
  while (!query.empty()) {
    const auto amp = query.find('&');
    const std::string_view part = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
    if (part.empty()) continue;
    const auto equals = part.find('=');
    if (equals == std::string_view::npos) {
      pairs.emplace_back(percentDecode(part), std::string());
    } else {
      pairs.emplace_back(percentDecode(part.substr(0, equals)),
                         percentDecode(part.substr(equals + 1)));
    }
  }
  return pairs;
}

std::optional<std::string> RecordedRequest::queryValue(std::string_view key) const {
  for (const auto& [k, v] : query) {
    if (k == key) return v;
  }
  return std::nullopt;
}

std::vector<std::string> RecordedRequest::queryValues(std::string_view key) const {
  std::vector<std::string> values;
  for (const auto& [k, v] : query) {
    if (k == key) values.push_back(v);
  }
  return values;
}

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
  for (const auto& [k, v] : headers) {
    if (equalsIgnoringCase(k, name)) return v;
  }
  return std::nullopt;
}

std::size_t RecordedRequest::footprint() const {
  std::size_t bytes = sizeof *this + method.size() + path.size() + target.size() + body.size();
  for (const auto& pairs : {&query, &headers}) {
    for (const auto& [key, value] : *pairs)
      bytes += sizeof key + key.size() + sizeof value + value.size();
  }
  return bytes;
}

Json RecordedRequest::toJson() const {
  return Json{{"method", method},
              {"path", path},
              {"target", target},
              {"query", pairsToJson(query)},
              {"headers", pairsToJson(headers)},
              {"body", body},
              {"bodyBytes", bodyBytes},
              {"remotePort", remotePort}};
}

}  // namespace tavrino::service
