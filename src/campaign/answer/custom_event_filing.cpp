// "CUSTOMEVENT" campaigns wait in the store, one archived dictionary per
// event, until the host reports the event.

#include <string>

#include "campaign/answer/engine_state.hpp"
#include "core/keyed_archive.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/store.hpp"

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

void fileCustomEventCampaign(std::string_view function, const Value& params) {
  const std::string evn = Util::tryCatch(params, "evn", "");
  const std::string ce = Util::tryCatch(params, "ce", "");
  if (!evn.starts_with(kCustomEventPrefix) && !ce.starts_with(kCustomEventPrefix)) return;
  const auto id = entryIdOf(function, params);
  if (!id) return;

  const std::string key = std::string(kCustomEventKey) + lastDotPiece(evn.empty() ? ce : evn);
  auto suite = Util::qivDefaults();
  suite->transaction([&] {
    Value campaigns = filedCampaigns(*suite, key);
    const std::string entry =
        std::string(function) + "_" + std::to_string(campaigns.size()) + "_" + *id;
    campaigns[entry] = params;
    const Data archive = archiveDictionary(campaigns);
    if (archive.empty()) {
      QivUtil::addLog("custom event campaign not filed. too deep : " + entry);
      return;
    }
    suite->set(key, Value::binary(archive));
  });
}

}  // namespace tavrino::engine
