// The store entries that ride along with every standard request, and the
// expiry sweep done on the same walk. The walk visits only the key ranges a
// request can use, in place: nothing is copied but what goes out.

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/request/percent_encoding.hpp"
#include "core/request/request_parts.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::request {
namespace {

// Entries sent as they are stored, besides "uids" and "cuid2".
constexpr std::array<std::string_view, 8> kForwardedQivKeys = {
    "qiv_vstp", "qiv_referral", "qiv_referral_suffix", "qiv_referral_adjust",
    "qiv_idfa", "qivparam",     "qivunregpush",        "qiv_provisional"};

// The switches naming the forwarded campaign keys; without one the key is
// the switch's name without its "_".
constexpr std::array<std::string_view, 5> kUtmSwitches = {"_utm_source", "_utm_medium", "_utm_term",
                                                          "_utm_campaign", "_utm_content"};

using UtmKeys = std::array<std::string, kUtmSwitches.size()>;

constexpr std::array<std::pair<std::string_view, std::string StoreReading::*>, 10> kScalars = {{
    {"_cburl", &StoreReading::baseUrl},
    {"_s", &StoreReading::companyId},
    {"companyid", &StoreReading::testCompanyId},
    {"vc", &StoreReading::visitCount},
    {"pvc", &StoreReading::pageViewCount},
    {"ftu", &StoreReading::firstTimeUser},
    {"qivtest", &StoreReading::test},
    {"memberid", &StoreReading::member},
    {"qivforce", &StoreReading::force},
    {"qivrandom", &StoreReading::bucket},
}};

const std::string* textOf(const Value& value) {
  return value.is_string() ? &value.get_ref<const std::string&>() : nullptr;
}

void captureScalar(StoreReading& reading, std::string_view key, const Value& value) {
  for (const auto& [name, member] : kScalars) {
    if (key == name) {
      if (const auto* text = textOf(value)) reading.*member = *text;
      return;
    }
  }
}

bool isForwarded(std::string_view key, const UtmKeys& utmKeys) {
  switch (key[0]) {
    case 'u':
      if (key == "uids") return true;
      break;
    case 'c':
      if (key == "cuid2") return true;
      break;
    case 'q':
      for (auto name : kForwardedQivKeys) {
        if (key == name) return true;
      }
      break;
    default:
      break;
  }
  for (const auto& name : utmKeys) {
    if (key == name) return true;
  }
  return false;
}

// An expiring value "value expiry": the piece before the first blank and the
// whole number after it. False when the text has no blank or that piece is
// no whole number (left alone: neither sent nor removed, since no writer
// produces it).
bool parseExpiring(const Value& stored, std::string_view* value, std::int64_t* expiry) {
  const std::string* text = textOf(stored);
  if (text == nullptr) return false;
  const std::string_view view = *text;
  const auto blank = view.find(' ');
  if (blank == std::string_view::npos) return false;
  const auto end = view.find(' ', blank + 1);
  *value = view.substr(0, blank);
  return parseInteger(view.substr(blank + 1, end - (blank + 1)), expiry);
}

bool isExpiringCookie(std::string_view key) {
  return (key.starts_with("qiv_") || key.starts_with("app_qiv")) &&
         key.find("qiv_token") == std::string_view::npos &&
         key.find("qiv_vstp") == std::string_view::npos;
}

// A quick filter for the keys a request reads or forwards whole: by first
// byte, the lengths such keys have. Most entries of a store (counters,
// switches) fail it at once.
class ExactKeys {
 public:
  void add(std::string_view key) {
    if (!key.empty()) lengths_[static_cast<unsigned char>(key[0])] |= bit(key.size());
  }
  bool mayHold(std::string_view key) const {
    return lengths_[static_cast<unsigned char>(key[0])] & bit(key.size());
  }

 private:
  static std::uint32_t bit(std::size_t length) {
    return std::uint32_t{1} << std::min<std::size_t>(length, 31);
  }
  std::array<std::uint32_t, 256> lengths_{};
};

// Keys that begin as an expiring cookie or the company settings.
bool mayExpire(std::string_view key) {
  return key[0] == 'q' || key[0] == 'a' || key[0] == '_';
}

class PairCollector {
 public:
  PairCollector(StoreReading& reading, UtmKeys utmKeys, std::int64_t now)
      : reading_(reading), utmKeys_(std::move(utmKeys)), now_(now) {
    for (const auto& [name, member] : kScalars) exactKeys_.add(name);
    for (auto name : {std::string_view("uids"), std::string_view("cuid2")}) exactKeys_.add(name);
    for (auto name : kForwardedQivKeys) exactKeys_.add(name);
    for (const auto& name : utmKeys_) exactKeys_.add(name);
  }

  void visit(std::string_view key, const Value& value) {
    const bool exact = exactKeys_.mayHold(key);
    if (!exact && !mayExpire(key)) return;
    if (exact) captureScalar(reading_, key, value);
    if (exact && isForwarded(key, utmKeys_)) {
      if (const auto* text = textOf(value)) {
        add(key, *text);
      } else {
        add(key, describe(value));
      }
      return;
    }
    std::string_view live;
    std::int64_t expiry = 0;
    if (isExpiringCookie(key)) {
      if (!parseExpiring(value, &live, &expiry)) return;
      if (now_ <= expiry) {
        add(key, live);
      } else {
        expired_.emplace_back(std::string(key), value);
      }
    } else if (key.starts_with("_company_settings")) {
      if (parseExpiring(value, &live, &expiry) && now_ > expiry) {
        expired_.emplace_back(std::string(key), value);
      }
    }
  }

  const UtmKeys& utmKeys() const { return utmKeys_; }

  // After the walk: the log line and the sweep, which call the store.
  void finish(platform::UserDefaultsSuite& suite) {
    if (skippedText_) QivUtil::addLog("encodeForUrl skipped a text that is not UTF-8");
    if (expired_.empty()) return;
    suite.transaction([&] {
      // An entry rewritten since the walk (a fresh expiry) stays.
      for (const auto& [key, value] : expired_) {
        if (suite.object(key) == value) suite.remove(key);
      }
    });
  }

 private:
  void add(std::string_view key, std::string_view value) {
    if (!appendQueryPairQuietly(reading_.pairs, key, value)) skippedText_ = true;
  }

  StoreReading& reading_;
  const UtmKeys utmKeys_;
  ExactKeys exactKeys_;
  const std::int64_t now_;
  std::vector<std::pair<std::string, Value>> expired_;
  bool skippedText_ = false;
};

UtmKeys readUtmKeys(platform::UserDefaultsSuite& suite) {
  UtmKeys keys;
  for (std::size_t i = 0; i < kUtmSwitches.size(); ++i) keys[i] = kUtmSwitches[i].substr(1);
  suite.forEachEntry("_utm_", [&](std::string_view key, const Value& value) {
    for (std::size_t i = 0; i < kUtmSwitches.size(); ++i) {
      const auto* text = textOf(value);
      if (key == kUtmSwitches[i] && text != nullptr) keys[i] = *text;
    }
  });
  return keys;
}

// The key ranges holding every entry a request reads, sends or sweeps, in
// key order; most of a store (counters, switches, filed actions) lies
// outside them. A range holds more than it names ("c": "companyid",
// "cuid2"; "utm_": the campaign keys unless renamed): the collector ignores
// what it does not use.
constexpr std::array<std::string_view, 12> kReadRanges = {"_cburl",   "_company_settings",
                                                          "_s",       "app_qiv",
                                                          "c",        "ftu",
                                                          "memberid", "pvc",
                                                          "qiv",      "uids",
                                                          "utm_",     "vc"};

// The ranges of one request: with campaign keys renamed, the fixed ranges
// and those keys, in key order, none beginning another, so that the walk
// visits every entry at most once and in the store's order.
class ReadRanges {
 public:
  explicit ReadRanges(const UtmKeys& utmKeys) {
    const auto covered = [](const std::string& key) {
      return key.empty() || key.starts_with("utm_");  // an empty key is never visited
    };
    if (std::all_of(utmKeys.begin(), utmKeys.end(), covered)) return;
    own_.assign(kReadRanges.begin(), kReadRanges.end());
    for (const auto& key : utmKeys) {
      if (!covered(key)) own_.push_back(key);
    }
    std::sort(own_.begin(), own_.end());
    // After sorting, a range that begins with another follows it.
    std::size_t kept = 0;
    for (const std::string_view range : own_) {
      if (kept == 0 || !range.starts_with(own_[kept - 1])) own_[kept++] = range;
    }
    own_.resize(kept);
    ranges_ = own_;
  }
  std::span<const std::string_view> ranges() const { return ranges_; }

 private:
  std::vector<std::string_view> own_;
  std::span<const std::string_view> ranges_ = kReadRanges;
};

}  // namespace

StoreReading readStore(platform::UserDefaultsSuite& suite, bool withPairs) {
  StoreReading reading;
  if (!withPairs) {
    for (const auto& [name, member] : kScalars) {
      reading.*member = suite.string(name).value_or("");
    }
    return reading;
  }
  PairCollector collector(reading, readUtmKeys(suite), platform::current().clock().epochSeconds());
  suite.forEachEntryIn(ReadRanges(collector.utmKeys()).ranges(),
                       [&collector](std::string_view key, const Value& value) {
                         if (!key.empty()) collector.visit(key, value);
                       });
  collector.finish(suite);
  return reading;
}

}  // namespace tavrino::request

namespace tavrino::Util {

std::string createLinkForUserDefaults() {
  return request::readStore(*qivDefaults(), true).pairs;
}

}  // namespace tavrino::Util
