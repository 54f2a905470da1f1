// Taps on the controls of a banner that lead to a click: the click's host
// functions, the inbox, the click cookies, the report and the follow-up
// event, then the click's target.

#include <exception>

#include "core/links/link_checks.hpp"
#include "tavrino/banner/pop_up_controller.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/ui/custom_button.hpp"
#include "tavrino/util/inbox.hpp"
#include "tavrino/util/invocation.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tracking/click_cookies.hpp"
#include "tracking/tracking.hpp"

namespace tavrino {

void popUpController::setClickCookie(ui::Button& sender) {
  QivUtil::addLog("setClickCookie called.");
  handleClick(sender);
}

void popUpController::setClickCookie2(ui::Button& sender) {
  QivUtil::addLog("setClickCookie2 called.");
  handleClick(sender);
}

// The host calls this through the button; campaign data and host methods
// run inside, so nothing they throw may reach it.
void popUpController::handleClick(ui::Button& sender) {
  try {
    auto* button = dynamic_cast<ui::customButton*>(&sender);
    if (!button) {
      QivUtil::addLog("click sender carries no campaign.return.");
      return;
    }
    // Host methods run below may change the button; the click is the one
    // tapped.
    const Value customArray = button->customArray;
    const StringMap client_map = button->client_map;
    const auto host = button->view.lock();
    if (!parameters.is_object()) parameters = Value::object();

    runClickFunctions(customArray, host);

    const std::string zbid = Util::tryCatch(customArray, "zbid", "0");
    const std::string clickid = Util::tryCatch(customArray, "clickid", "1");
    Util::markAsReadInboxMessage(zbid);
    tracking::writeClickCookies(customArray);
    tracking::clink(parameters, client_map);
    tracking::createCustomEvent("qiv_click_" + zbid + "_" + clickid, host, client_map);

    std::string uapp = Util::tryCatch(customArray, "uapp", "");
    if (uapp.empty()) {
      closeAfterClick();
      return;
    }
    if (uapp.starts_with("//")) uapp = "https:" + uapp;
    if (uapp.starts_with("http") && Util::tryCatch(customArray, "u_target", "") != "1") {
      openInAppBrowser(uapp);
      return;
    }
    // Outside targets and other schemes leave the application; the banner
    // closes whether or not "ccc" asks for it.
    links::openOutside(uapp, "click target");
    closeAfterClick();
  } catch (const std::exception& e) {
    QivUtil::addLog(std::string("click failed : ") + e.what());
  } catch (...) {
    QivUtil::addLog("click failed");
  }
}

// The click's "C" run functions, then the "run" map's function on a new
// instance of its class and its method on the host view controller. The
// "run" map needs the host.
void popUpController::runClickFunctions(const Value& customArray,
                                        const std::shared_ptr<ui::ViewController>& host) {
  QivUtil::run_functions("C", customArray, host);
  if (!host || !customArray.is_object()) return;
  const auto run = customArray.find("run");
  if (run == customArray.end() || !run->is_object()) return;

  const std::string runcParameter = Util::tryCatch(*run, "runc_parameter", "");
  const std::string runcFunction = Util::tryCatch(*run, "runc_function", "");
  const std::string runcClass = Util::tryCatch(*run, "runc_class", "");
  if (!runcParameter.empty()) parameters["click_parameter"] = runcParameter;
  // The impression step already put the banner's link there; an unknown
  // link does not wipe it out.
  if (!activityLink.empty() || !parameters.contains("qivlink")) {
    parameters["qivlink"] = activityLink;
  }
  // The host's method receives the banner's map, not a text.
  if (!runcFunction.empty()) {
    Util::invokeMethodFromNameWithDictionary(runcFunction, parameters,
                                             runcClass.empty() ? host->className() : runcClass);
  }

  const std::string viewcParameter = Util::tryCatch(*run, "viewc_parameter", "");
  const std::string viewcFunction = Util::tryCatch(*run, "viewc_function", "");
  const std::string viewcClass = Util::tryCatch(*run, "viewc_class", "");
  if (!viewcParameter.empty()) parameters["click_parameter"] = viewcParameter;
  if (!viewcFunction.empty()) {
    Util::invokeSomeMethod(viewcFunction, parameters,
                           viewcClass.empty() ? host->className() : viewcClass, host);
  }
}

// A click that leaves the banner takes it off the screen; unlike the close
// buttons it does not count as the user closing it.
void popUpController::closeAfterClick() {
  if (isViewLoaded()) view()->removeFromSuperview();
}

}  // namespace tavrino
