// Deep links through trackDeepLink over arbitrary SDK defaults.
//
// Input: the link on the first line, then "key=value" lines stored in the SDK
// defaults first (typed values as in storedValue()). Lines take escapes.
//
// Invariants: a link writes only the preview allow-list ("qivtest",
// "qivforce", "companyid", "memberid", and only when the link's "tavrino"
// is "preview"), "qivparam" and the campaign-parameter names the defaults configure;
// every value written is a piece of the link. A push preview request may
// also draw the visitor's random bucket and sweep expired entries.

#include <set>

#include "fuzz_support.hpp"
#include "tavrino/client.hpp"

using namespace tavrino;

namespace {

// True iff a piece of the link's query names key and ends in "=" + value:
// a piece's value is what follows its last "=".
bool linkSays(std::string_view url, std::string_view key, std::string_view value) {
  const auto question = url.find('?');
  if (question == std::string_view::npos) return false;
  const std::string_view query = url.substr(question + 1);
  for (std::string_view piece : fuzz::splitAt(query.substr(0, query.find('#')), "&")) {
    const auto eq = piece.find('=');
    if (eq != std::string_view::npos && piece.substr(0, eq) == key &&
        piece.substr(piece.rfind('=') + 1) == value) {
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::install<fuzz::OfflineSession>();
  static Tavrino& tavrino = *new Tavrino("http://127.0.0.1:9/", "1", "0");
  const auto in = fuzz::readLines(fuzz::text(data, size));
  fuzz::replaceStore(in.store);
  const std::string url = in.first.value_or("");
  const auto broken = [&](const std::string& what) { fuzz::fail(what + "\n  link: " + url); };

  std::set<std::string> allowed = {"qivparam"};
  if (linkSays(url, "tavrino", "preview")) {
    allowed.insert({"qivtest", "qivforce", "companyid", "memberid"});
  }
  for (const char* utm : {"utm_source", "utm_medium", "utm_term", "utm_campaign", "utm_content"}) {
    allowed.insert(Util::getCookieToQIVDefaults("_" + std::string(utm), utm));
  }
  const bool preview = linkSays(url, "qiv_p_preview", "1");
  if (preview) allowed.insert("qivrandom");

  const auto before = fuzz::storeSnapshot();
  tavrino.trackDeepLink(in.first);
  platform::current().dispatch().runUntilIdle();
  const auto after = fuzz::storeSnapshot();
  for (const auto& key : fuzz::changedKeys(before, after)) {
    const auto now = after.find(key);
    if (now == after.end()) {
      if (!preview) broken("removed " + key);
    } else if (!allowed.contains(key)) {
      broken("wrote " + key);
    } else if (key != "qivrandom" &&
               (!now->second.is_string() ||
                url.find(now->second.get<std::string>()) == std::string::npos)) {
      broken("value of " + key + " is not from the link");
    }
  }
  return 0;
}
