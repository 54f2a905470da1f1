// "CUSTOMEVENT" campaigns wait in the store, one archived dictionary per
// event, until the host reports the event. An answer files all of its
// custom-event campaigns in one transaction.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "campaign/answer/engine_state.hpp"
#include "core/keyed_archive.hpp"
#include "core/value_cbor.hpp"
#include "tavrino/async_task.hpp"
#include "tavrino/campaign/add_act.hpp"
#include "tavrino/campaign/add_lbl.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/store.hpp"
#include "tracking/filed_campaigns.hpp"

namespace tavrino::engine {
namespace {

constexpr std::string_view kCustomEventPrefix = "qivo.custom";
constexpr std::string_view kCustomEventKey = "qivo.custom.events_";

std::string lastDotPiece(std::string_view name) {
  const auto dot = name.rfind('.');
  return std::string(dot == std::string_view::npos ? name : name.substr(dot + 1));
}

// The identifier that names the entry, or nothing for a function that is
// never filed.
std::optional<std::string> entryIdOf(std::string_view function, const Value& params) {
  if (function == "ui_sb") return Util::tryCatch(params, "zbid", "0");
  if (function == "add_act" || function == "add_lbl") return Util::tryCatch(params, "id", "0");
  return std::nullopt;
}

// The filed campaigns of the event; an entry that does not unarchive cannot
// be run by anyone, so filing starts afresh over it.
Value filedCampaigns(platform::UserDefaultsSuite& suite, const std::string& key) {
  const auto stored = suite.object(key);
  if (!stored || !stored->is_binary()) return Value::object();
  if (auto dictionary = unarchiveDictionary(stored->get_binary())) {
    return std::move(*dictionary);
  }
  QivUtil::addLog("custom event campaigns unreadable. starting afresh : " + key);
  return Value::object();
}

}  // namespace

void fileCustomEventCampaigns(const std::vector<CustomEventCampaign>& filings) {
  struct Filing {
    Value campaigns;
    bool changed = false;
  };
  // Each event's dictionary is read once and written once, however many of
  // the answer's campaigns wait for it.
  std::map<std::string, Filing, std::less<>> byKey;
  auto suite = Util::qivDefaults();
  suite->transaction([&] {
    for (const auto& [function, params] : filings) {
      const std::string evn = Util::tryCatch(params, "evn", "");
      const std::string ce = Util::tryCatch(params, "ce", "");
      if (!evn.starts_with(kCustomEventPrefix) && !ce.starts_with(kCustomEventPrefix)) continue;
      const auto id = entryIdOf(function, params);
      if (!id) continue;

      const std::string key = std::string(kCustomEventKey) + lastDotPiece(evn.empty() ? ce : evn);
      auto found = byKey.find(key);
      if (found == byKey.end()) {
        found = byKey.emplace(key, Filing{filedCampaigns(*suite, key)}).first;
      }
      Value& campaigns = found->second.campaigns;
      const std::string entry = function + "_" + std::to_string(campaigns.size()) + "_" + *id;
      // An entry of that name may be there already (the host's runs take
      // entries out): it is replaced, and kept when its successor cannot be.
      std::optional<Value> replaced;
      if (const auto it = campaigns.find(entry); it != campaigns.end()) replaced = *it;
      campaigns[entry] = params;
      // Checked entry by entry: one that nests too deep is left out, the
      // others are filed.
      if (!nestsWithin(campaigns, kMaxValueNesting)) {
        if (replaced) {
          campaigns[entry] = std::move(*replaced);
        } else {
          campaigns.erase(entry);
        }
        QivUtil::addLog("custom event campaign not filed. too deep : " + entry);
        continue;
      }
      found->second.changed = true;
    }
    for (const auto& [key, filing] : byKey) {
      if (!filing.changed) continue;
      const Data archive = archiveDictionary(filing.campaigns);
      if (!archive.empty()) suite->set(key, Value::binary(archive));
    }
  });
}

void fileCustomEventCampaign(std::string_view function, const Value& params) {
  fileCustomEventCampaigns({{std::string(function), params}});
}

}  // namespace tavrino::engine

namespace tavrino::tracking {

void runFiledBanner(const Value& params, const ViewControllerPtr& view, std::string_view link,
                    const StringMap& client_map) {
  AsyncTask().checkEvent(Util::tryCatch(params, "uvp", ""), Util::tryCatch(params, "zbid", ""),
                         Util::tryCatch(params, "shCnt", "99999"), params, view, link, client_map);
}

void runFiledAction(const Value& params, const ViewControllerPtr& view, std::string_view link,
                    const StringMap& client_map) {
  add_act().execute(params, link, view, client_map);
}

void runFiledLabel(const Value& params, const ViewControllerPtr& view,
                   const StringMap& client_map) {
  add_lbl().execute(params, client_map, view);
}

}  // namespace tavrino::tracking
