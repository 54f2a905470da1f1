// Request URLs built from arbitrary store contents and client maps.
//
// Input: the request type on the first line, then "key=value" lines stored in
// the SDK defaults (see storedValue() for typed values), then a line "--" and
// "key=value" lines of the client map. Lines take escapes (fuzz_support.hpp).
//
// Invariants: no URL holds a control character, a blank or a byte outside
// ASCII, whatever the store and the map hold; and with a well-formed base
// every URL parses.

#include "fuzz_support.hpp"
#include "tavrino/util/request.hpp"

using namespace tavrino;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::install();
  auto in = fuzz::readLines(fuzz::text(data, size));
  const StringMap clientMap(in.pairs.begin(), in.pairs.end());
  const bool ownBase = !in.store.contains("_cburl");
  if (ownBase) in.store["_cburl"] = "http://127.0.0.1:9/";
  fuzz::replaceStore(in.store);
  for (const std::string& type : {in.first.value_or(""), std::string("standart"),
                                  std::string("track"), std::string("push"), std::string("log")}) {
    const std::string url = Util::createRequest(type, clientMap);
    fuzz::requireWireSafe(url);
    if (ownBase && !platform::current().urlSession().formsURL(url)) fuzz::fail("no URL " + url);
  }
  return 0;
}
