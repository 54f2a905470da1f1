// Actions: the visitor enters or leaves a marketing state; the device records
// it, reports it, calls the host back and raises the action's custom event.

#include "tavrino/campaign/add_act.hpp"

#include <string>

#include "campaign/actions/action_fields.hpp"
#include "core/shared_configuration.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/invocation.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/store.hpp"
#include "tavrino/util/transport.hpp"
#include "tracking/tracking.hpp"

namespace tavrino {
namespace {

std::string hostCallback(std::string SharedConfiguration::*field) {
  return processState().withConfig([&](SharedConfiguration& c) { return c.*field; });
}

}  // namespace

void add_act::execute(const Value& params, std::string_view /*baselink*/,
                      const std::shared_ptr<ui::ViewController>& view,
                      const StringMap& client_map) {
  QivUtil::addLog("add_act called with : " + QivUtil::mapToString(params));
  const actions::ActionFields f = actions::readFields(params);
  const std::int64_t expiry = actions::expiryTime(f.lto);
  const std::string url = actions::reportUrl(f, client_map);
  checkAction(f.ilcc, f.e, f.di, f.pt, f.v, f.id, f.to, f.lv, url, expiry, *Util::qivDefaults(),
              params, view, client_map);
}

void add_act::execute(const Value& params, std::string_view baselink, const StringMap& client_map) {
  execute(params, baselink, std::make_shared<ui::ViewController>(), client_map);
}

void add_act::checkAction(std::string_view ilcc, std::string_view e, std::string_view di,
                          std::string_view pt, std::string_view v, std::string_view id,
                          std::string_view to, std::string_view lv, std::string_view link,
                          std::int64_t time, platform::UserDefaultsSuite& preferences,
                          const Value& params, const std::shared_ptr<ui::ViewController>& view,
                          const StringMap& client_map) {
  const std::string stamp = std::string(v) + " " + std::to_string(time);
  const std::string className = view ? view->className() : std::string();
  const std::string record = "qiv_l_" + std::string(id);
  const std::string lzbid = Util::tryCatch(params, "lzbid", "");
  const std::string event = "qiv_action_" + std::string(id);

  // Reports the action and lets what waits for it run.
  const auto report = [&] { Util::getRequest("action", link); };
  const auto followUp = [&] {
    QivUtil::run_functions("A", params, view);
    tracking::createCustomEvent(event, view, client_map);
  };

  if (di == "i") {
    bool fires = pt == "v";
    if (pt == "c") {
      const std::string counter = "eventcounter_" + std::string(id) + "_" + std::string(e);
      fires = actions::countOccurrence(preferences, counter, to, lv);
    }
    if (!fires) return;
    preferences.set(record, stamp);
    report();
    Util::addActionUniqueCookie(lzbid, id);
    // The host hears of entered actions only when recorded at once.
    if (pt == "v") {
      const std::string runa = hostCallback(&SharedConfiguration::runa);
      if (!runa.empty()) Util::invokeMethodFromNameWithDictionary(runa, params, className);
    }
    followUp();
  } else if (di == "d") {
    const std::string runar = hostCallback(&SharedConfiguration::runar);
    if (!runar.empty()) Util::invokeMethodFromNameWithDictionary(runar, params, className);
    if (preferences.object(record)) {
      preferences.remove(record);
    } else if (ilcc != "1") {
      return;
    }
    report();
    followUp();
  }
}

}  // namespace tavrino
