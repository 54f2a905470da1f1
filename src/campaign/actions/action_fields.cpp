#include "campaign/actions/action_fields.hpp"

#include <limits>

#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"
#include "tracking/tracking_numbers.hpp"

namespace tavrino::actions {
namespace {

using tracking::wholeNumber;

std::string read(const Value& params, std::string_view key, std::string_view fallback = "") {
  return Util::tryCatch(params, key, fallback);
}

bool isPositiveWhole(std::string_view text) {
  const auto value = wholeNumber(text);
  return value && *value > 0;
}

// The campaigns the visitor has just met: the last shown ones when lzbid is
// "1", else the clicked ones, each as "campaign:item".
std::string campaignList(std::string_view lzbid) {
  std::string list;
  if (lzbid == "1") {
    for (const auto& [key, value] : Util::_gcvp("qiv_lzbid")) {
      list += value.find(':') != std::string::npos ? value + "," : value + ":1,";
    }
  } else {
    for (const auto& [key, value] : Util::_gcvp("qiv_c_")) {
      list +=
          value.find(':') != std::string::npos ? value + "," : key.substr(6) + ":" + value + ",";
    }
  }
  if (!list.empty()) list.pop_back();
  return list;
}

std::string impressionList() {
  std::string list;
  for (const auto& [key, value] : Util::_gcvp("qiv_i_")) list += value + ",";
  if (!list.empty()) list.pop_back();
  return list;
}

}  // namespace

ActionFields readFields(const Value& params) {
  ActionFields f;
  f.id = read(params, "id");
  f.di = read(params, "di");
  f.pt = read(params, "pt");
  f.e = read(params, "e");
  f.lv = read(params, "lv");
  f.to = read(params, "to");
  f.v = read(params, "v");
  f.lto = read(params, "lto", "0");
  f.ilcc = read(params, "ilcc", "0");
  f.lzbid = read(params, "lzbid");
  f.at = read(params, "at");
  f.n = read(params, "n");
  f.qivcmmtyp = read(params, "qivcmmtyp");
  f.qivcmmdelay = read(params, "qivcmmdelay");
  f.qivcmmid = read(params, "qivcmmid");
  f.bvw = read(params, "bvw", "0");
  f.spid = read(params, "_spid", "0");
  f.spidf = read(params, "_spidf", "0");
  return f;
}

std::int64_t expiryTime(std::string_view lto) {
  const std::int64_t minutes = wholeNumber(lto).value_or(0);
  return tracking::saturatingAdd(tracking::nowSeconds(), tracking::saturatingMinutes(minutes));
}

std::string reportUrl(const ActionFields& f, const StringMap& client_map) {
  StringMap report;
  if (tracking::decimalNumber(f.qivcmmtyp)) report["qivcmmtyp"] = f.qivcmmtyp;
  report["qivcmmdelay"] = f.qivcmmdelay;
  if (isPositiveWhole(f.qivcmmid)) {
    report["qivcmmid"] = f.qivcmmid;
    report["qivsubstype"] = "3";
  }
  if (f.bvw != "0") report["qivcfrom"] = "bulkview";
  if (isPositiveWhole(f.spid)) {
    report["_spid"] = f.spid;
    const auto item = client_map.find(f.spidf);
    if (item != client_map.end()) report["_spiid"] = item->second;
  }
  report["aid"] = f.id;
  report["di"] = f.di;
  report["a"] = "a";
  report["at"] = f.at;
  report["vzbid"] = impressionList();
  report["zbid"] = campaignList(f.lzbid);
  report["r"] = tracking::randomPercent();
  report["aname"] = f.n;
  return Util::createRequest("track", Util::mergeMaps(client_map, report));
}

bool countOccurrence(platform::UserDefaultsSuite& suite, const std::string& key,
                     std::string_view to, std::string_view lv) {
  bool fires = false;
  suite.transaction([&] {
    const std::int64_t now = tracking::nowSeconds();
    const std::string stored = suite.string(key).value_or("");
    const auto blank = stored.find(' ');
    const auto count = wholeNumber(std::string_view(stored).substr(0, blank));
    const auto time = blank == std::string::npos
                          ? std::nullopt
                          : wholeNumber(std::string_view(stored).substr(blank + 1));
    if (!count || !time) {
      suite.set(key, "1 " + std::to_string(now));
      return;
    }
    const std::int64_t window = tracking::saturatingMinutes(wholeNumber(to).value_or(0));
    std::int64_t next = 0;
    if (now < tracking::saturatingAdd(*time, window)) {
      next = *count == std::numeric_limits<std::int64_t>::max() ? *count : *count + 1;
    }
    suite.set(key, std::to_string(next) + " " + std::to_string(now));
    const auto threshold = wholeNumber(lv);
    fires = threshold && next == *threshold;
  });
  return fires;
}

std::string counterKey(const ActionFields& f) {
  return "eventcounter_" + f.id + "_" + f.e;
}

std::string recordKey(const ActionFields& f) {
  return "qiv_l_" + f.id;
}

}  // namespace tavrino::actions
