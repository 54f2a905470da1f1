// Request URLs built from arbitrary store contents and client maps.
//
// Input: the request type on the first line, then "key=value" lines stored in
// the SDK defaults (see storedValue() for typed values), then a line "--" and
// "key=value" lines of the client map. Lines take escapes (fuzz_input.hpp).
//
// Invariants: no URL holds a control character, a blank or a byte outside
// ASCII, whatever the store and the map hold; and with a well-formed base
// every URL parses.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_input.hpp"
#include "fuzz_platform.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"

using namespace tavrino;

namespace {

constexpr std::string_view kBase = "http://127.0.0.1:9/";

[[noreturn]] void fail(const std::string& what, const std::string& url) {
  std::fprintf(stderr, "request URL invariant broken: %s\n  %s\n", what.c_str(), url.c_str());
  std::abort();
}

void check(const std::string& url, bool wellFormedBase) {
  for (const unsigned char c : url) {
    if (c <= 0x20 || c >= 0x7f) fail("raw byte " + std::to_string(c), url);
  }
  if (wellFormedBase && !platform::current().urlSession().formsURL(url)) fail("no URL", url);
}

void clearStore() {
  auto suite = Util::qivDefaults();
  suite->transaction([&] {
    for (const auto& [key, value] : suite->dictionaryRepresentation()) suite->remove(key);
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::installQuietPlatform();
  const auto lines = fuzz::splitLines(std::string_view(reinterpret_cast<const char*>(data), size));
  clearStore();

  auto suite = Util::qivDefaults();
  StringMap clientMap;
  bool inClientMap = false;
  bool ownBase = true;
  suite->transaction([&] {
    for (std::size_t i = 1; i < lines.size(); ++i) {
      if (lines[i] == "--") {
        inClientMap = true;
        continue;
      }
      const std::string line = fuzz::unescape(lines[i]);
      const auto eq = line.find('=');
      const std::string key = line.substr(0, eq);
      const std::string value = eq == std::string::npos ? "" : line.substr(eq + 1);
      if (inClientMap) {
        clientMap[key] = value;
      } else {
        suite->set(key, fuzz::storedValue(value));
        ownBase = ownBase && key != "_cburl";
      }
    }
    if (ownBase) suite->set("_cburl", Value(std::string(kBase)));
  });

  const std::string type = lines.empty() ? "" : fuzz::unescape(lines[0]);
  check(Util::createRequest(type, clientMap), ownBase);
  for (const char* known : {"standart", "track", "push", "log"}) {
    check(Util::createRequest(known, clientMap), ownBase);
  }
  return 0;
}
