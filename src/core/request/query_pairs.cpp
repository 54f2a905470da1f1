// Query pairs: one encoded "&key=value" per entry of a parameter map.

#include <string>

#include "core/request/percent_encoding.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/request.hpp"

namespace tavrino {
namespace request {
namespace {

// Percent-encoding with the query's allowed set and then replacing "&" (and
// in values '"', ":" and ",") by its escape is one pass over a larger denied
// set: the escapes are the same upper-case ones.
const RawBytes& keyBytes() {
  static const RawBytes table(CharacterSet::urlQueryDenied().unioned(CharacterSet::of("&")));
  return table;
}

const RawBytes& valueBytes() {
  static const RawBytes table(CharacterSet::urlQueryDenied().unioned(CharacterSet::of("&\":,")));
  return table;
}

}  // namespace

bool appendQueryPairQuietly(std::string& out, std::string_view key, std::string_view value) {
  out += '&';
  const bool keyWhole = appendEncoded(out, key, keyBytes());
  out += '=';
  return appendEncoded(out, value, valueBytes()) && keyWhole;
}

void appendQueryPair(std::string& out, std::string_view key, std::string_view value) {
  if (!appendQueryPairQuietly(out, key, value)) {
    QivUtil::addLog("encodeForUrl skipped a text that is not UTF-8");
  }
}

void appendBaseUrl(std::string& out, std::string_view base) {
  static const RawBytes table(CharacterSet::urlQueryAllowed()
                                  .unioned(CharacterSet::urlPathAllowed())
                                  .unioned(CharacterSet::urlHostAllowed())
                                  .unioned(CharacterSet::urlFragmentAllowed())
                                  .unioned(CharacterSet::of("%#"))
                                  .inverted());
  appendEncodedBytes(out, base, table);
}

std::string encodeBaseUrl(std::string_view base) {
  std::string out;
  out.reserve(base.size());
  appendBaseUrl(out, base);
  return out;
}

std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

}  // namespace request

namespace Util {

std::string encodeForUrl(std::string_view key, std::string_view value) {
  std::string pair;
  pair.reserve(key.size() + value.size() + 2);
  request::appendQueryPair(pair, key, value);
  return pair;
}

std::string createLink(const StringMap& map) {
  std::string pairs;
  for (const auto& [key, value] : map) {
    // "_" keys are the SDK's own switches; only the two page ids travel.
    if (key.starts_with('_') && key != "_spid" && key != "_spiid") continue;
    request::appendQueryPair(pairs, key, value);
  }
  return pairs;
}

StringMap mergeMaps(const StringMap& client_params, const StringMap& customize_system) {
  StringMap merged = client_params;
  merged.insert(customize_system.begin(), customize_system.end());  // keeps client entries
  return merged;
}

}  // namespace Util
}  // namespace tavrino
