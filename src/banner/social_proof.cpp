// Social-proof counts: where they come from, how an answer is read and how
// the count lands in a banner's texts.

#include "tavrino/banner/social_proof.hpp"

#include <cctype>
#include <cmath>
#include <mutex>
#include <utility>
#include <vector>

#include "tavrino/qiv_util.hpp"
#include "tavrino/url_encoding.hpp"
#include "tavrino/util/json_helpers.hpp"

namespace tavrino::banner {
namespace {

constexpr std::string_view kPlaceholder = "$$total$$";

std::mutex origin_mutex;

std::string& originSlot() {
  static std::string origin(kDefaultSocialProofOrigin);
  return origin;
}

bool isAuthorityCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':' ||
         c == '[' || c == ']';
}

// The authority part after the scheme, or nothing for another scheme.
std::optional<std::string_view> authorityOf(std::string_view origin) {
  for (std::string_view scheme : {"https://", "http://"}) {
    if (origin.substr(0, scheme.size()) == scheme) return origin.substr(scheme.size());
  }
  return std::nullopt;
}

std::optional<std::string> queryValue(std::string_view text) {
  return urlEncoded(text, CharacterSet::urlQueryKeyValueDenied());
}

// A JSON number that is a whole number within 64 bits.
std::optional<std::int64_t> wholeCount(const Value& value) {
  if (value.is_number_integer()) {
    if (value.is_number_unsigned() && value.get<std::uint64_t>() > INT64_MAX) return std::nullopt;
    return value.get<std::int64_t>();
  }
  if (!value.is_number_float()) return std::nullopt;
  const double number = value.get<double>();
  if (!std::isfinite(number) || std::trunc(number) != number) return std::nullopt;
  if (number < -9223372036854775808.0 || number >= 9223372036854775808.0) return std::nullopt;
  return static_cast<std::int64_t>(number);
}

// Position of the next "$$total$$" in text from start, ignoring case.
std::size_t findPlaceholder(std::string_view text, std::size_t start) {
  for (std::size_t at = start; at + kPlaceholder.size() <= text.size(); ++at) {
    bool match = true;
    for (std::size_t i = 0; match && i < kPlaceholder.size(); ++i) {
      match = std::tolower(static_cast<unsigned char>(text[at + i])) == kPlaceholder[i];
    }
    if (match) return at;
  }
  return std::string_view::npos;
}

// Calls fn on every text in value, at any depth, with a stack of its own.
template <typename V, typename Fn>
void forEachText(V& value, Fn&& fn) {
  std::vector<V*> pending{&value};
  while (!pending.empty()) {
    V* current = pending.back();
    pending.pop_back();
    if (current->is_string()) {
      if (fn(*current)) return;
    } else if (current->is_structured()) {
      for (auto& child : *current) pending.push_back(&child);
    }
  }
}

}  // namespace

bool setSocialProofOrigin(std::string_view origin) {
  if (!origin.empty() && origin.back() == '/') origin.remove_suffix(1);
  const auto authority = authorityOf(origin);
  bool valid = authority && !authority->empty();
  if (valid) {
    for (char c : *authority) valid = valid && isAuthorityCharacter(c);
  }
  if (!valid) {
    QivUtil::addLog("social proof origin refused : " + std::string(origin));
    return false;
  }
  const std::lock_guard lock(origin_mutex);
  originSlot() = std::string(origin);
  return true;
}

std::string socialProofOrigin() {
  const std::lock_guard lock(origin_mutex);
  return originSlot();
}

std::optional<std::string> socialProofUrl(std::string_view clientValue, std::string_view spid,
                                          std::string_view spiid) {
  const auto s = queryValue(clientValue);
  const auto t = queryValue(spid);
  const auto i = queryValue(spiid);
  if (!s || !t || !i) return std::nullopt;
  return socialProofOrigin() + "/sproof/?s=" + *s + "&t=" + *t + "&i=" + *i + "&e=g";
}

std::int64_t socialProofCount(const Data& answer, std::string_view spid, std::string_view spiid) {
  const Value elements = Util::parseJSONArray(answer);
  for (const auto& element : elements) {
    if (!element.is_object()) continue;
    const auto campaign = element.find(std::string(spiid));
    if (campaign == element.end() || !campaign->is_object()) continue;
    const auto count = campaign->find(std::string(spid));
    if (count == campaign->end()) continue;
    if (const auto whole = wholeCount(*count)) return *whole;
  }
  return 0;
}

bool hasSocialProofPlaceholder(const Value& params) {
  bool found = false;
  forEachText(params, [&](const Value& text) {
    found = findPlaceholder(text.get_ref<const std::string&>(), 0) != std::string_view::npos;
    return found;
  });
  return found;
}

void fillSocialProofCount(Value& params, std::int64_t count) {
  const std::string replacement = std::to_string(count);
  forEachText(params, [&](Value& text) {
    auto& s = text.get_ref<std::string&>();
    for (auto at = findPlaceholder(s, 0); at != std::string::npos;
         at = findPlaceholder(s, at + replacement.size())) {
      s.replace(at, kPlaceholder.size(), replacement);
    }
    return false;
  });
}

}  // namespace tavrino::banner
