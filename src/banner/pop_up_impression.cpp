// imageSet: what happens when a banner is about to be shown. The host hears
// of it, the service gets the impression report, the store keeps the
// impression cookies; then the banner is built and the impression event
// raised.

#include <exception>
#include <string>

#include "core/shared_configuration.hpp"
#include "pop_up_impression.hpp"
#include "tavrino/banner/pop_up_controller.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/invocation.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/transport.hpp"
#include "tracking/tracking.hpp"

namespace tavrino {
namespace {

using ViewControllerPtr = std::shared_ptr<ui::ViewController>;

// The page view the banner belongs to must still be the current one; an
// "_execcounter" that is no number holds nothing back.
bool execCounterMatches(const StringMap& client_map) {
  const auto found = client_map.find("_execcounter");
  double captured = 0;
  if (found == client_map.end() || !parseNumber(found->second, &captured)) return true;
  return captured == static_cast<double>(processState().execcounter());
}

std::string classNameOf(const ViewControllerPtr& view) {
  return view ? view->className() : std::string();
}

// The campaign's "run" map names a host method called at impression; the
// map it gets carries the banner link and the campaign's own parameter.
void runImpressionFunction(Value& params, const ViewControllerPtr& view, std::string_view link) {
  const auto run = params.find("run");
  if (run == params.end() || !run->is_object()) return;
  const Value settings = *run;
  const std::string parameter = Util::tryCatch(settings, "run_parameter", "");
  if (!parameter.empty()) params["run_parameter"] = parameter;
  params["qivlink"] = std::string(link);
  const std::string method = Util::tryCatch(settings, "run_function", "");
  if (method.empty()) return;
  std::string className = Util::tryCatch(settings, "run_class", "");
  if (className.empty()) className = classNameOf(view);
  Util::invokeMethodFromNameWithDictionary(method, params, className);
}

// An inline banner reports only when the host's view is the frame it names,
// or when it names a frame found by identifier.
bool reportsImpression(std::string_view function, const Value& params,
                       const ViewControllerPtr& view) {
  if (function != "aich") return true;
  const std::string slc = Util::tryCatch(params, "slc", "");
  if (slc.rfind("qivdyn@", 0) == 0) return true;
  return view && view->view()->restorationIdentifier() == slc;
}

void sendImpression(const Value& params, const StringMap& client_map) {
  const StringMap report = Util::mergeMaps(client_map, banner::impressionReport(params));
  Util::getRequest("impression", Util::createRequest("track", report));
}

void callHostCallbacks(const Value& params, const ViewControllerPtr& view) {
  const auto [runv, runi] = processState().withConfig(
      [](SharedConfiguration& c) { return std::make_pair(c.runv, c.runi); });
  for (const std::string& method : {runv, runi}) {
    if (!method.empty())
      Util::invokeMethodFromNameWithDictionary(method, params, classNameOf(view));
  }
}

}  // namespace

void popUpController::imageSet(const ViewControllerPtr& view, const ui::Image& image,
                               std::string_view link, const Value& params_in,
                               std::string_view function, const StringMap& client_map) {
  try {
    QivUtil::addLog("imageSet called.");
    if (!execCounterMatches(client_map)) {
      QivUtil::addLog("imageSet execcount did not match");
      return;
    }
    Value params = params_in.is_object() ? params_in : Value::object();
    parameters = params;
    QivUtil::run_functions("I", params, view);
    runImpressionFunction(params, view, link);
    if (reportsImpression(function, params, view)) sendImpression(params, client_map);
    callHostCallbacks(params, view);
    banner::writeImpressionCookies(params);

    const ui::Rect screen = platform::current().screen().bounds();
    createBanner(view, image, params, function, screen.size, client_map);
    tracking::createCustomEvent("qiv_impression_" + Util::tryCatch(params, "zbid", "0"), view,
                                client_map);
  } catch (const std::exception& e) {
    QivUtil::addLog(std::string("imageSet failed : ") + e.what());
  } catch (...) {
    QivUtil::addLog("imageSet failed");
  }
}

}  // namespace tavrino
