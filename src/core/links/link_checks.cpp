#include "core/links/link_checks.hpp"

#include <algorithm>
#include <array>

#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"

namespace tavrino::links {
namespace {

bool isLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

bool isHexDigit(char c) {
  return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  return out;
}

bool all(std::string_view text, bool (*ok)(char)) {
  return std::all_of(text.begin(), text.end(), ok);
}

// Nothing or ":" and a port number.
bool isPortPart(std::string_view rest) {
  if (rest.empty()) return true;
  const std::string_view digits = rest.substr(1);
  return rest[0] == ':' && digits.size() <= 5 && all(digits, isDigit) &&
         (digits.empty() || std::stoul(std::string(digits)) <= 65535);
}

// Characters no URL carries raw.
bool isRefusedInUrl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte <= 0x20 || byte >= 0x7f ||
         std::string_view("\"<>\\^`{|}").find(c) != std::string_view::npos;
}

bool formsURL(std::string_view text) {
  const auto colon = text.find(':');
  if (colon == 0 || colon == std::string_view::npos || colon + 1 == text.size()) return false;
  if (!isLetter(text[0])) return false;
  const auto schemeChar = [](char c) {
    return isLetter(c) || isDigit(c) || c == '+' || c == '-' || c == '.';
  };
  if (!std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(colon), schemeChar)) {
    return false;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (isRefusedInUrl(text[i])) return false;
    if (text[i] == '%' &&
        (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::optional<std::string> webHost(std::string_view url) {
  const auto separator = url.find("://");
  if (separator == std::string_view::npos) return std::nullopt;
  const std::string scheme = lower(url.substr(0, separator));
  if (scheme != "http" && scheme != "https") return std::nullopt;
  // Parsers for the web drop tabs and line breaks anywhere and read "\" as
  // "/": such addresses mean one host to them and another to a plain reading.
  if (std::any_of(url.begin(), url.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7f || c == '\\';
      })) {
    return std::nullopt;
  }
  std::string_view authority = url.substr(separator + 3);
  authority = authority.substr(0, authority.find_first_of("/?#"));
  std::string_view host = authority;
  std::string_view rest;
  if (authority.starts_with('[')) {
    const auto close = authority.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = authority.substr(1, close - 1);
    rest = authority.substr(close + 1);
    if (!all(host, [](char c) { return isHexDigit(c) || c == ':' || c == '.'; })) {
      return std::nullopt;
    }
  } else {
    const auto colon = authority.find(':');
    host = authority.substr(0, colon);
    rest = colon == std::string_view::npos ? std::string_view() : authority.substr(colon);
    if (!all(host, [](char c) {
          return isLetter(c) || isDigit(c) || c == '-' || c == '.' || c == '_';
        })) {
      return std::nullopt;
    }
  }
  if (!isPortPart(rest)) return std::nullopt;
  std::string domain = comparableDomain(host);
  if (domain.empty()) return std::nullopt;
  return domain;
}

std::string comparableDomain(std::string_view domain) {
  if (domain.ends_with('.')) domain.remove_suffix(1);
  return lower(domain);
}

bool mayOpenOutside(std::string_view text, std::string_view what) {
  if (!formsURL(text)) {
    QivUtil::addLog(std::string(what) + " is not a URL : " + std::string(text));
    return false;
  }
  static constexpr std::array<std::string_view, 6> kRefused = {"javascript", "vbscript", "data",
                                                               "file",       "blob",     "about"};
  const std::string scheme = lower(text.substr(0, text.find(':')));
  if (std::find(kRefused.begin(), kRefused.end(), scheme) != kRefused.end()) {
    QivUtil::addLog(std::string(what) + " scheme refused : " + std::string(text));
    return false;
  }
  return true;
}

void openOutside(std::string_view url, std::string_view what) {
  if (mayOpenOutside(url, what)) platform::current().application().openURL(url);
}

}  // namespace tavrino::links
