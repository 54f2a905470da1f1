// Custom events: the campaigns the service filed for an event run when the
// host (or a click, action or label) reports it.

#include <algorithm>
#include <string>
#include <vector>

#include "core/keyed_archive.hpp"
#include "core/shared_configuration.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"
#include "tracking/filed_campaigns.hpp"

namespace tavrino::tracking {
namespace {

constexpr std::string_view kFiledPrefix = "qivo.custom.events_";
constexpr std::string_view kBanner = "ui_sb_";
constexpr std::string_view kAction = "add_act_";
constexpr std::string_view kLabel = "add_lbl_";

struct FiledEntry {
  std::string key;
  Value params;
};

// Takes the campaigns filed for an event, in ascending order of entry key.
// Entries that fire once leave the store before any of them runs: a campaign
// that raises the event it is filed under cannot run itself again, so chains
// of actions end. Returns nothing when nothing readable is filed.
std::optional<std::vector<FiledEntry>> takeFiled(std::string_view eventname,
                                                 const std::string& logPrefix) {
  const std::string storeKey = std::string(kFiledPrefix) + std::string(eventname);
  std::optional<std::vector<FiledEntry>> taken;
  auto suite = Util::qivDefaults();
  suite->transaction([&] {
    const std::optional<Value> stored = suite->object(storeKey);
    if (!stored) return;
    std::optional<Value> map;
    if (stored->is_binary()) map = unarchiveDictionary(stored->get_binary());
    if (!map) {
      QivUtil::addLog(logPrefix + " Filed campaigns could not be read : " + storeKey);
      return;
    }
    std::vector<std::string> keys;
    for (const auto& item : map->items()) keys.push_back(item.key());
    std::sort(keys.begin(), keys.end());

    Value remaining = *map;
    std::vector<FiledEntry> entries;
    for (const auto& key : keys) {
      const Value& params = (*map)[key];
      const bool known =
          key.starts_with(kBanner) || key.starts_with(kAction) || key.starts_with(kLabel);
      if (!known) continue;  // not ours to run or remove
      if (!params.is_object()) {
        QivUtil::addLog(logPrefix + " Filed entry is not a map, dropped : " + key);
        remaining.erase(key);
        continue;
      }
      // "aich" banners stay filed and fire at every event.
      if (!key.starts_with(kBanner) || Util::tryCatch(params, "bsc", "") != "aich") {
        remaining.erase(key);
      }
      entries.push_back({key, params});
    }
    if (remaining.size() != map->size()) {
      suite->set(storeKey, Value::binary(archiveDictionary(remaining)));
    }
    taken = std::move(entries);
  });
  return taken;
}

void runFiled(const std::vector<FiledEntry>& entries, const ViewControllerPtr& view,
              std::string_view link, const StringMap& client_map) {
  for (const auto& entry : entries) {
    const Value& params = entry.params;
    if (entry.key.starts_with(kBanner)) {
      runFiledBanner(params, view, link, client_map);
    } else if (entry.key.starts_with(kAction)) {
      runFiledAction(params, view, link, client_map);
    } else {
      runFiledLabel(params, view, client_map);
    }
  }
}

}  // namespace

void createEvent(std::string_view eventname, const ViewControllerPtr& view,
                 const StringMap& client_map, std::string_view baseLink) {
  const std::string called = "create event called. event name : " + std::string(eventname);
  recordStep(called);
  const bool queued = processState().withCampaign([&](CampaignState& s) {
    if (s.responseReady) return false;
    s.pendingCustomEvents.emplace_back(eventname);
    return true;
  });
  if (queued) return;
  QivUtil::addLog(called);
  const auto entries = takeFiled(eventname, "create event called.");
  if (!entries) {
    QivUtil::addLog("create event called. Not found related campaigns or actions");
    return;
  }
  runFiled(*entries, view, baseLink, client_map);
}

void createCustomEvent(std::string_view eventname, const ViewControllerPtr& view,
                       const StringMap& client_map) {
  const std::string called = "create custom event called. event name : " + std::string(eventname);
  QivUtil::addLog(called);
  recordStep(called);
  const auto entries = takeFiled(eventname, "create custom event called.");
  if (!entries) {
    QivUtil::addLog("create custom event called. Not found related campaigns or actions");
    return;
  }
  if (entries->empty()) return;
  const StringMap system = processState().withConfig([](SharedConfiguration& c) {
    return StringMap{{"s", c.companyId}, {"sscookie", c.sscookie}};
  });
  runFiled(*entries, view, Util::createRequest("standart", Util::mergeMaps(client_map, system)),
           client_map);
}

void clearCustomActions() {
  QivUtil::addLog("clean up custom events & badges");
  auto suite = Util::qivDefaults();
  // Most page views have nothing to clear: no write transaction then.
  bool filed = false;
  for (std::string_view prefix : {kFiledPrefix, std::string_view("qivo_badges")}) {
    suite->forEachEntry(prefix, [&](std::string_view, const Value&) { filed = true; });
  }
  if (filed) {
    suite->transaction([&] {
      Util::removeCookieStartsWith(kFiledPrefix);
      Util::removeCookieStartsWith("qivo_badges");
    });
  }
}

}  // namespace tavrino::tracking
