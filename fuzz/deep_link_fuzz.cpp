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

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "fuzz_input.hpp"
#include "fuzz_platform.hpp"
#include "tavrino/client.hpp"
#include "tavrino/platform/linux.hpp"
#include "tavrino/util/store.hpp"

using namespace tavrino;

namespace {

[[noreturn]] void fail(const std::string& what, std::string_view url) {
  std::fprintf(stderr, "deep link invariant broken: %s\n  link: %.*s\n", what.c_str(),
               static_cast<int>(url.size()), url.data());
  std::abort();
}

Tavrino& client() {
  static Tavrino* const instance = [] {
    std::string dir = (std::filesystem::temp_directory_path() / "tavrino-link-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) std::abort();
    platform::install(std::make_unique<fuzz::OfflinePlatform<fuzz::OfflineSession>>(
        platform::makeLinuxPlatform({.dataDirectory = dir, .clock = nullptr})));
    return new Tavrino("http://127.0.0.1:9/", "1", "0");
  }();
  return *instance;
}

// True iff a piece of the link's query names key and ends in "=" + value:
// a piece's value is what follows its last "=".
bool linkSays(std::string_view url, std::string_view key, std::string_view value) {
  const auto question = url.find('?');
  if (question == std::string_view::npos) return false;
  std::string_view query = url.substr(question + 1);
  query = query.substr(0, query.find('#'));
  for (std::string_view piece : fuzz::splitAt(query, "&")) {
    const auto eq = piece.find('=');
    if (eq != std::string_view::npos && piece.substr(0, eq) == key &&
        piece.substr(piece.rfind('=') + 1) == value) {
      return true;
    }
  }
  return false;
}

std::map<std::string, Value> snapshot() {
  std::map<std::string, Value> entries;
  for (auto& [key, value] : Util::qivDefaults()->dictionaryRepresentation()) {
    entries.emplace(key, std::move(value));
  }
  return entries;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Tavrino& tavrino = client();
  const auto lines = fuzz::splitLines(std::string_view(reinterpret_cast<const char*>(data), size));
  auto suite = Util::qivDefaults();
  suite->transaction([&] {
    for (const auto& [key, value] : suite->dictionaryRepresentation()) suite->remove(key);
    for (std::size_t i = 1; i < lines.size(); ++i) {
      const std::string line = fuzz::unescape(lines[i]);
      const auto eq = line.find('=');
      suite->set(line.substr(0, eq),
                 fuzz::storedValue(eq == std::string::npos ? "" : line.substr(eq + 1)));
    }
  });
  const std::string url = lines.empty() ? "" : fuzz::unescape(lines[0]);

  std::set<std::string> allowed = {"qivparam"};
  if (linkSays(url, "tavrino", "preview")) {
    allowed.insert({"qivtest", "qivforce", "companyid", "memberid"});
  }
  for (const char* utm : {"utm_source", "utm_medium", "utm_term", "utm_campaign", "utm_content"}) {
    allowed.insert(Util::getCookieToQIVDefaults("_" + std::string(utm), utm));
  }
  const bool preview = linkSays(url, "qiv_p_preview", "1");
  if (preview) allowed.insert("qivrandom");

  const auto before = snapshot();
  tavrino.trackDeepLink(lines.empty() ? std::nullopt : std::optional<std::string>(url));
  platform::current().dispatch().runUntilIdle();
  const auto after = snapshot();

  for (const auto& [key, value] : after) {
    const auto it = before.find(key);
    if (it != before.end() && it->second == value) continue;
    if (!allowed.contains(key)) fail("wrote " + key, url);
    if (key == "qivrandom") continue;
    if (!value.is_string() || url.find(value.get<std::string>()) == std::string::npos) {
      fail("value of " + key + " is not from the link", url);
    }
  }
  for (const auto& [key, value] : before) {
    if (!after.contains(key) && !preview) fail("removed " + key, url);
  }
  return 0;
}
