// The "_"-switches of a page view. Each is written at every page view, with
// its default when the page does not give it; numbers that do not read as
// the switch expects fall back to the default.

#include "client/pageview/page_switches.hpp"

#include <cmath>
#include <optional>

#include "core/content_delivery.hpp"
#include "core/shared_configuration.hpp"
#include "core/store_writes.hpp"
#include "core/whole_numbers.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::pageview {
namespace {

std::optional<std::string> lookup(const StringMap& map, std::string_view key) {
  const auto it = map.find(std::string(key));
  if (it == map.end()) return std::nullopt;
  return it->second;
}

std::string valueOr(const StringMap& map, std::string_view key, std::string_view fallback) {
  return lookup(map, key).value_or(std::string(fallback));
}

// A time-out text that reads as a positive-or-zero number, else fallback.
std::string timeoutText(const StringMap& map, std::string_view key, std::string_view fallback) {
  const std::string text = valueOr(map, key, fallback);
  double seconds = 0;
  return parseNumber(text, &seconds) && seconds >= 0 ? text : std::string(fallback);
}

// The visit time-out in minutes: a whole number of at least 0.
std::string visitTimeoutText(const StringMap& map) {
  const std::string text = valueOr(map, "_vto", "30");
  std::int64_t minutes = 0;
  return parseInteger(text, &minutes) && minutes >= 0 ? text : "30";
}

void applyEnablePush(const StringMap& localmap, platform::UserDefaultsSuite& store) {
  const auto local = lookup(localmap, "_enable_push");
  if (local == "1") {
    setText(store, "_enable_push", "1");
    return;
  }
  const std::string stored = store.string("_enable_push").value_or("0");
  setText(store, "_enable_push", stored == "0" ? std::string("0") : local.value_or(""));
}

void applyEnableHash(const StringMap& localmap, platform::UserDefaultsSuite& store) {
  if (const auto local = lookup(localmap, "_enable_hash")) {
    setText(store, "_enable_hash", *local);
    return;
  }
  const auto stored = store.string("_enable_hash");
  setText(store, "_enable_hash", stored && !stored->empty() ? "" : "0");
}

}  // namespace

PageKeys readPageKeys(const StringMap& localmap, const std::string& className) {
  PageKeys keys;
  const auto orientation = lookup(localmap, "_enable_orientation");
  keys.ls = valueOr(localmap, "ls", "|");
  keys.ps = valueOr(localmap, "ps", "/");
  if (const auto p = lookup(localmap, "p")) {
    keys.pageName = *p;
    keys.pageNameFromView = false;
  } else {
    keys.pageName = className;
  }
  keys.a = valueOr(localmap, "a", "a");
  processState().withConfig([&](SharedConfiguration& c) {
    if (orientation) c.orientationFlag = *orientation;
    c.currentPageName = className;
  });
  return keys;
}

PageTuning applySwitches(const StringMap& localmap) {
  auto store = Util::qivDefaults();
  PageTuning tuning;
  const std::string secureOnly = valueOr(localmap, "_secureonly", "0");
  setText(*store, "_secureonly", secureOnly);
  setText(*store, "_native_click", valueOr(localmap, "_native_click", "0"));
  if (const auto platformName = lookup(localmap, "_qiv_plt")) {
    setText(*store, "_react_store_push", *platformName == "React-Native" ? "1" : "0");
  }
  if (const auto anid = lookup(localmap, "_anid"); anid && !anid->empty()) {
    QivUtil::addLog("execute called. change uid with _anid value");
    setText(*store, "uid", *anid);
  }
  tuning.s_btm = wholeOr(valueOr(localmap, "s_btm", "0"), 0);
  const auto decimalChar = lookup(localmap, "_adetaildecimalchar");
  tuning.s_top = wholeOr(valueOr(localmap, "s_top", "0"), 0);
  double threshold = 0;
  if (parseNumber(valueOr(localmap, "shkthr", "1.3"), &threshold)) tuning.shkthr = threshold;

  const std::string vto = visitTimeoutText(localmap);
  const std::string requestTimeout = timeoutText(localmap, "_req_to", "6");
  const std::string pushTimeout = timeoutText(localmap, "_push_req_to", "300");
  processState().withConfig([&](SharedConfiguration& c) {
    c.secureOnly = secureOnly;
    if (decimalChar) c.decimalChar = *decimalChar;
    const std::pair<const char*, std::string*> runValues[] = {{"_runc", &c.runc},
                                                              {"_runa", &c.runa},
                                                              {"_runv", &c.runv},
                                                              {"_runi", &c.runi},
                                                              {"_runar", &c.runar}};
    for (const auto& [key, target] : runValues) {
      if (const auto value = lookup(localmap, key)) *target = *value;
    }
    c.vto = vto;
    c.visitTimeoutSeconds = saturatingMultiply(wholeOr(vto, 30), 60);
    c.requestTimeoutText = requestTimeout;
    c.pushRequestTimeout = pushTimeout;
  });

  applyEnablePush(localmap, *store);
  applyEnableHash(localmap, *store);
  setText(*store, "_push_req_to", pushTimeout);
  setText(*store, "_default_cdn_domain",
          valueOr(localmap, "_default_cdn_domain", std::string("//") + kDefaultCdnHost));
  return tuning;
}

}  // namespace tavrino::pageview
