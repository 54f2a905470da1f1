// Actions and labels the host runs directly instead of through an answer.

#include <memory>

#include "campaign/host_calls.hpp"
#include "tavrino/campaign/add_act.hpp"
#include "tavrino/campaign/add_lbl.hpp"

namespace tavrino::campaign {
namespace {

Value directParameters(std::string_view di, std::string_view pt, std::string_view v,
                       std::string_view id, std::string_view to, std::string_view lv) {
  Value params = Value::object();
  params["id"] = std::string(id);
  params["v"] = std::string(v);
  params["lv"] = std::string(lv);
  params["to"] = std::string(to);
  params["pt"] = std::string(pt);
  params["di"] = std::string(di);
  params["lto"] = "43200";
  params["st"] = "";
  params["lzbid"] = "1";
  params["n"] = "";
  params["e"] = "PAGEVIEW";
  params["ce"] = "";
  params["uvpi"] = "p";
  return params;
}

}  // namespace

void addDirectAction(std::string_view di, std::string_view pt, std::string_view v,
                     std::string_view id, std::string_view to, std::string_view lv,
                     std::string_view baseLink, const StringMap& client_map) {
  add_act().execute(directParameters(di, pt, v, id, to, lv), baseLink, client_map);
}

void addDirectLabel(std::string_view di, std::string_view pt, std::string_view v,
                    std::string_view id, std::string_view to, std::string_view lv,
                    const StringMap& client_map) {
  add_lbl().execute(directParameters(di, pt, v, id, to, lv), client_map,
                    std::make_shared<ui::ViewController>());
}

}  // namespace tavrino::campaign
