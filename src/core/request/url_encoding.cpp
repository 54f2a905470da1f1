// The URL byte sets and the percent-encoder.

#include "tavrino/url_encoding.hpp"

#include "core/request/percent_encoding.hpp"

namespace tavrino {
namespace {

constexpr std::string_view kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr std::string_view kDigits = "0123456789";

}  // namespace

CharacterSet CharacterSet::of(std::string_view ascii) {
  CharacterSet set;
  for (char c : ascii) set.insert(static_cast<unsigned char>(c));
  return set;
}

CharacterSet CharacterSet::alphanumerics() {
  return of(kLetters).unioned(of(kDigits));
}

CharacterSet CharacterSet::inverted() const {
  CharacterSet set;
  for (std::size_t i = 0; i < bits_.size(); ++i) set.bits_[i] = ~bits_[i];
  return set;
}

CharacterSet CharacterSet::unioned(const CharacterSet& other) const {
  CharacterSet set;
  for (std::size_t i = 0; i < bits_.size(); ++i) set.bits_[i] = bits_[i] | other.bits_[i];
  return set;
}

CharacterSet CharacterSet::subtracting(std::string_view ascii) const {
  return inverted().unioned(of(ascii)).inverted();
}

const CharacterSet& CharacterSet::urlQueryAllowed() {
  static const CharacterSet set = alphanumerics().unioned(of("!$&'()*+,-./:;=?@_~"));
  return set;
}

const CharacterSet& CharacterSet::urlPathAllowed() {
  static const CharacterSet set = alphanumerics().unioned(of("!$&'()*+,-./:=@_~"));
  return set;
}

const CharacterSet& CharacterSet::urlFragmentAllowed() {
  static const CharacterSet set = alphanumerics().unioned(of("!$&'()*+,-./:;=?@_~"));
  return set;
}

const CharacterSet& CharacterSet::urlHostAllowed() {
  static const CharacterSet set = alphanumerics().unioned(of("!$&'()*+,-.:;=[]_~"));
  return set;
}

const CharacterSet& CharacterSet::urlQueryParameterAllowed() {
  static const CharacterSet set = urlQueryAllowed().subtracting("&?");
  return set;
}

const CharacterSet& CharacterSet::urlQueryDenied() {
  static const CharacterSet set = urlQueryAllowed().inverted();
  return set;
}

const CharacterSet& CharacterSet::urlQueryKeyValueDenied() {
  static const CharacterSet set = urlQueryParameterAllowed().inverted();
  return set;
}

const CharacterSet& CharacterSet::urlPathDenied() {
  static const CharacterSet set = urlPathAllowed().inverted();
  return set;
}

const CharacterSet& CharacterSet::urlFragmentDenied() {
  static const CharacterSet set = urlFragmentAllowed().inverted();
  return set;
}

const CharacterSet& CharacterSet::urlHostDenied() {
  static const CharacterSet set = urlHostAllowed().inverted();
  return set;
}

const CharacterSet& CharacterSet::urlDenied() {
  static const CharacterSet set = urlQueryDenied()
                                      .unioned(urlQueryKeyValueDenied())
                                      .unioned(urlPathDenied())
                                      .unioned(urlFragmentDenied())
                                      .unioned(urlHostDenied());
  return set;
}

std::optional<std::string> urlEncoded(std::string_view text, const CharacterSet& denying) {
  if (!request::isValidUtf8(text)) return std::nullopt;
  return request::percentEncodeBytes(text, denying);
}

namespace request {

// Well-formed: no stray continuation bytes, no truncated sequences, no
// overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    const auto second = static_cast<unsigned char>(text[i + 1]);
    if (second < low || second > high) return false;
    for (std::size_t k = 2; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if (next < 0x80 || next > 0xBF) return false;
    }
    i += length;
  }
  return true;
}

RawBytes::RawBytes(const CharacterSet& denying) {
  for (unsigned byte = 0; byte < 0x80; ++byte) raw_[byte] = !denying.contains(byte);
}

void appendEncodedBytes(std::string& out, std::string_view text, const RawBytes& table) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  // Texts are short: byte by byte into reserved room beats copying runs.
  out.reserve(out.size() + text.size() + 16);
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (table.raw(byte)) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 15]);
    }
  }
}

bool appendEncoded(std::string& out, std::string_view text, const RawBytes& table) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      if (!isValidUtf8(text)) return false;
      break;
    }
  }
  appendEncodedBytes(out, text, table);
  return true;
}

std::string percentEncodeBytes(std::string_view text, const CharacterSet& denying) {
  std::string out;
  out.reserve(text.size());
  appendEncodedBytes(out, text, RawBytes(denying));
  return out;
}

}  // namespace request
}  // namespace tavrino
