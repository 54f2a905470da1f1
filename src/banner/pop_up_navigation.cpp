// The banner controller as navigation delegate of its web views: a link the
// user follows in a banner's page is a click.

#include <exception>

#include "core/links/link_checks.hpp"
#include "tavrino/banner/pop_up_controller.hpp"
#include "tavrino/qiv_util.hpp"
#include "tracking/tracking.hpp"

namespace tavrino {
namespace {

template <typename Fn>
void guarded(Fn&& fn) {
  try {
    fn();
  } catch (const std::exception& e) {
    QivUtil::addLog(std::string("link click failed : ") + e.what());
  } catch (...) {
    QivUtil::addLog("link click failed");
  }
}

}  // namespace

void popUpController::decidePolicyFor(ui::WebView& webView,
                                      const platform::NavigationAction& action,
                                      platform::DecisionHandler decisionHandler) {
  // The in-app browser shows the click's target: following its links is
  // browsing, not another click on the banner.
  const bool inBanner = &webView != inAppBrowser.get();
  if (inBanner && action.navigationType == platform::NavigationType::linkActivated && action.url) {
    guarded([&] {
      QivUtil::addLog("banner link activated : " + *action.url);
      tracking::saveClickCookie(parameters, sender_view.lock(), sender_client_map);
      tracking::clink(parameters, sender_client_map);
      links::openOutside(*action.url, "click target");
      closeAfterClick();
    });
  }
  if (decisionHandler) decisionHandler(platform::NavigationPolicy::allow);
}

bool popUpController::shouldStartLoadWith(ui::WebView& webView, const platform::URLRequest& request,
                                          platform::NavigationType navigationType) {
  if (request.url == "about:blank") return true;
  // Only a followed link is a click: the page's own loads and frames are not.
  if (&webView != inAppBrowser.get() && navigationType == platform::NavigationType::linkActivated) {
    guarded([&] {
      tracking::saveClickCookie(parameters, sender_view.lock(), sender_client_map);
      tracking::clink(parameters, sender_client_map);
    });
  }
  return true;
}

// A page that finished loading shows through its web view; the spinner
// stops whichever way the load ended.
void popUpController::didFinishNavigation(ui::WebView& webView) {
  webView.setOpaque(false);
  webView.setBackgroundColor(ui::Color::clear());
  actInd->stopAnimating();
}

void popUpController::didStartProvisionalNavigation(ui::WebView&) {}

void popUpController::didFailNavigation(ui::WebView&, const std::string&) {
  actInd->stopAnimating();
}

}  // namespace tavrino
