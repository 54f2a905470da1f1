// Building request URLs, against a table-driven percent-encoder over the same
// pairs: every page view builds one, on the host's main thread.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "tavrino/platform/linux.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"

namespace {

using namespace tavrino;

// A platform whose store holds 100 entries, as after some page views:
// the SDK's own keys, one live campaign cookie, show and visit counters.
class RequestPlatform {
 public:
  RequestPlatform() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavrino-request-XXXXXX");
    dir_ = mkdtemp(pattern.data());
    platform::install(platform::makeLinuxPlatform({.dataDirectory = dir_, .clock = nullptr}));
    auto store = Util::qivDefaults();
    store->transaction([&] {
      const std::pair<const char*, const char*> own[] = {
          {"_cburl", "//track.example/"},
          {"_s", "42"},
          {"uid", "6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8"},
          {"fvt", "1765000000"},
          {"vt", "1765000300"},
          {"lvt", "1765000360"},
          {"vc", "3"},
          {"pvc", "7"},
          {"uids", "6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8|1765000000|1765000300|1765000360"},
          {"visitflag", "true"},
          {"qiv_vstp", "1765000200"},
          {"_secureonly", "0"},
          {"_native_click", "0"},
          {"_enable_push", "0"},
          {"_enable_hash", "0"},
          {"_push_req_to", "300"},
          {"_default_cdn_domain", "//cdn.example"},
          {"_cuid", "member-1"},
          {"cuid2", "member-1"},
          {"qivrandom", "37"},
          {"groupname", ""},
          {"qiv_c_5001", "summer_sale 9999999999"},
      };
      for (const auto& [key, value] : own) store->set(key, std::string(value));
      for (int i = 0; store->dictionaryRepresentation().size() < 100; ++i) {
        store->set((i % 2 ? "usercount_" : "visitcount_") + std::to_string(5000 + i), "3");
      }
    });
  }
  ~RequestPlatform() {
    platform::install(nullptr);
    std::filesystem::remove_all(dir_);
  }

  // The map a page view hands over: the host's page and the page keys.
  const StringMap page = {{"p", "Home Screen"},
                          {"cuid", "member-1"},
                          {"category", "shoes/men"},
                          {"s", "42"},
                          {"sscookie", "1"},
                          {"ls", "|"},
                          {"ps", "/"},
                          {"a", "a"}};

 private:
  std::filesystem::path dir_;
};

int hexValue(char c) {
  return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

std::string percentDecoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The decoded pairs of a URL's query.
std::vector<std::pair<std::string, std::string>> queryPairs(const std::string& url) {
  std::vector<std::pair<std::string, std::string>> pairs;
  std::string_view query = std::string_view(url).substr(url.find('?') + 1);
  while (!query.empty()) {
    const auto end = query.find('&');
    const std::string_view pair = query.substr(0, end);
    if (!pair.empty()) {
      const auto equals = pair.find('=');
      pairs.emplace_back(percentDecoded(pair.substr(0, equals)),
                         percentDecoded(pair.substr(equals + 1)));
    }
    if (end == std::string_view::npos) break;
    query.remove_prefix(end + 1);
  }
  return pairs;
}

// The baseline: one pass over each text with a 256-entry table of the bytes
// that go out raw, into an output reserved beforehand.
constexpr std::array<bool, 256> kRaw = [] {
  std::array<bool, 256> raw{};
  for (int c = 'a'; c <= 'z'; ++c) raw[c] = true;
  for (int c = 'A'; c <= 'Z'; ++c) raw[c] = true;
  for (int c = '0'; c <= '9'; ++c) raw[c] = true;
  for (char c : std::string_view("!$'()*+-./;=?@_~")) raw[static_cast<unsigned char>(c)] = true;
  return raw;
}();

void tableEncode(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (kRaw[byte]) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 15]);
    }
  }
}

void BM_Baseline_PercentEncode30Pairs(benchmark::State& state) {
  std::vector<std::pair<std::string, std::string>> pairs;
  {
    RequestPlatform fixture;
    pairs = queryPairs(Util::createRequest("standart", fixture.page));
  }
  if (pairs.size() != 30) {
    state.SkipWithError(
        ("the page-view URL holds " + std::to_string(pairs.size()) + " pairs").c_str());
    return;
  }
  std::size_t reserve = 0;
  for (const auto& [key, value] : pairs) reserve += 3 * (key.size() + value.size()) + 2;
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string out;
    out.reserve(reserve);
    for (const auto& [key, value] : pairs) {
      if (!out.empty()) out.push_back('&');
      tableEncode(out, key);
      out.push_back('=');
      tableEncode(out, value);
    }
    bytes = out.size();
    benchmark::DoNotOptimize(out);
  }
  state.counters["output_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_Baseline_PercentEncode30Pairs);

// The whole page-view URL, 30 pairs, from a store of 100 entries.
void BM_PageViewUrl(benchmark::State& state) {
  RequestPlatform fixture;
  const std::string url = Util::createRequest("standart", fixture.page);
  if (queryPairs(url).size() != 30) {
    state.SkipWithError("the page-view URL does not hold 30 pairs");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(Util::createRequest("standart", fixture.page));
  }
  state.counters["output_bytes"] = static_cast<double>(url.size());
}
BENCHMARK(BM_PageViewUrl);

// A store with 60 live campaign cookies and 36 counters: a URL of about 90
// pairs.
void BM_CreateStandardRequest(benchmark::State& state) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("tavrino_request_bench_" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  platform::install(platform::makeLinuxPlatform({.dataDirectory = dir, .clock = nullptr}));

  Util::setCookieToQIVDefaults("_cburl", "//track.example/");
  Util::setCookieToQIVDefaults("_s", "42");
  const std::string future = "9999999999";
  for (int i = 0; i < 60; ++i) {
    Util::setCookieToQIVDefaults("qiv_c_" + std::to_string(i), std::to_string(i) + " " + future);
  }
  for (int i = 0; i < 36; ++i) Util::setCookieToQIVDefaults("usercount_" + std::to_string(i), "3");
  Util::setCookieToQIVDefaults("uids", "u,1,2,3");

  StringMap page;
  for (int i = 0; i < 10; ++i) page["key" + std::to_string(i)] = "value " + std::to_string(i);
  for (auto _ : state) {
    benchmark::DoNotOptimize(Util::createRequest("standart", page));
  }

  platform::install(nullptr);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_CreateStandardRequest);

}  // namespace
