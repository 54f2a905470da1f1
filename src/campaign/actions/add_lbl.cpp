// Labels: tags the service keeps for segmentation. They share the records,
// counter and report of actions but never call the host's action callbacks.

#include "tavrino/campaign/add_lbl.hpp"

#include <string>

#include "campaign/actions/action_fields.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/store.hpp"
#include "tavrino/util/transport.hpp"
#include "tracking/tracking.hpp"

namespace tavrino {

void add_lbl::execute(const Value& params, const StringMap& client_map,
                      const std::shared_ptr<ui::ViewController>& view) {
  QivUtil::addLog("add_lbl called with : " + QivUtil::mapToString(params));
  const actions::ActionFields f = actions::readFields(params);
  const std::int64_t expiry = actions::expiryTime(f.lto);
  const std::string url = actions::reportUrl(f, client_map);
  checkLabel(f.ilcc, f.e, f.di, f.pt, f.v, f.id, f.to, f.lv, expiry, url, view, params, client_map);
}

void add_lbl::checkLabel(std::string_view ilcc, std::string_view e, std::string_view di,
                         std::string_view pt, std::string_view v, std::string_view id,
                         std::string_view to, std::string_view lv, std::int64_t time,
                         std::string_view request, const std::shared_ptr<ui::ViewController>& view,
                         const Value& params, const StringMap& client_map) {
  auto suite = Util::qivDefaults();
  const std::string record = "qiv_l_" + std::string(id);

  const auto fire = [&] {
    Util::getRequest("label", request);
    QivUtil::run_functions("A", params, view);
    tracking::createCustomEvent("qiv_label_" + std::string(id), view, client_map);
  };

  if (di == "i") {
    bool fires = pt == "v";
    if (pt == "c") {
      const std::string counter = "eventcounter_" + std::string(id) + "_" + std::string(e);
      fires = actions::countOccurrence(*suite, counter, to, lv);
    }
    if (!fires) return;
    suite->set(record, std::string(v) + " " + std::to_string(time));
    fire();
  } else if (di == "d") {
    // Only this label's own record goes: "qiv_l_1" is not a prefix match for
    // labels 12 or 100.
    if (!suite->string(record).value_or("").empty()) {
      suite->remove(record);
    } else if (ilcc != "1") {
      return;
    }
    fire();
  }
}

}  // namespace tavrino
