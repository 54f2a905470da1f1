// Request URLs built from arbitrary store contents and client maps.
//
// Input: the request type on the first line, then "key=value" lines stored in
// the SDK defaults (see storedValue() for typed values), then a line "--" and
// "key=value" lines of the client map. Lines take escapes (fuzz_support.hpp).
//
// Invariants: no URL holds a control character, a blank or a byte outside
// ASCII, whatever the store and the map hold; and with a well-formed base
// every URL parses.

#include <algorithm>

#include "fuzz_support.hpp"
#include "tavrino/util/request.hpp"

using namespace tavrino;

namespace {

void check(const std::string& url, bool wellFormedBase) {
  for (const unsigned char c : url) {
    if (c <= 0x20 || c >= 0x7f) fuzz::fail("raw byte " + std::to_string(c) + " in " + url);
  }
  if (wellFormedBase && !platform::current().urlSession().formsURL(url))
    fuzz::fail("no URL " + url);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::install();
  const auto lines = fuzz::splitLines(fuzz::text(data, size));
  const auto first = lines.begin() + std::min<std::size_t>(lines.size(), 1);
  const auto split = std::find(first, lines.end(), "--");
  auto stored = fuzz::storeEntries({first, split});
  StringMap clientMap;
  if (split != lines.end()) {
    for (auto& [key, value] : fuzz::pairs({split + 1, lines.end()})) clientMap[key] = value;
  }
  const bool ownBase = !stored.contains("_cburl");
  if (ownBase) stored["_cburl"] = "http://127.0.0.1:9/";
  fuzz::replaceStore(stored);

  const std::string type = lines.empty() ? "" : fuzz::unescape(lines[0]);
  for (const std::string& each : {type, std::string("standart"), std::string("track"),
                                  std::string("push"), std::string("log")}) {
    check(Util::createRequest(each, clientMap), ownBase);
  }
  return 0;
}
