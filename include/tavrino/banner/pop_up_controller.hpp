#pragma once

// The view controller that carries one campaign banner over the host's
// screen: a dimmed overlay with a pop-up, a notification strip, a web view
// with the campaign's document or a remote page, an image, an inline frame
// inside a host view, or, for badge campaigns, only a badge definition. It
// owns the ways a banner closes and the repeat rule of custom-event banners.
//
// One controller per banner, held by a shared pointer; once shown it is a
// child of the host's view controller, which keeps it alive.
//
// Thread-safety: main thread only.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/platform/dispatch.hpp"
#include "tavrino/platform/notification_center.hpp"
#include "tavrino/ui/activity_indicator.hpp"
#include "tavrino/ui/button.hpp"
#include "tavrino/ui/image.hpp"
#include "tavrino/ui/view_controller.hpp"
#include "tavrino/ui/web_view.hpp"
#include "tavrino/ui/window.hpp"
#include "tavrino/value.hpp"

namespace tavrino {

class TAVRINO_EXPORT popUpController : public ui::ViewController,
                                       public ui::WebViewNavigationDelegate {
 public:
  popUpController();
  ~popUpController() override;

  // Builds the banner of kind function ("bsc") from params and lays it over
  // view, the host: image is the banner image (empty when there is none),
  // size the reference size in points, client_map the page view's (its
  // "_execcounter" must match the current page view). Every refusal is a log
  // line; nothing throws.
  void createBanner(const std::shared_ptr<ui::ViewController>& view, const ui::Image& image,
                    const Value& params, std::string_view function, ui::Size size,
                    const StringMap& client_map);

  // The banner's HTML document.
  static std::string createHTMLContent(const Value& params);

  // Closes the banner: the close and dismiss buttons.
  void action(ui::Button& sender);
  // Closes the banner on a tap outside the pop-up.
  void targetCoc();
  // --- Clicks, in-app browser, web view navigation (src/banner/pop_up_click*.cpp) ---
  // A control that leads to a click was tapped (sender a ui::customButton):
  // runs the click host functions, marks the inbox message read, writes the
  // click cookies, reports the click, raises "qiv_click_" + zbid + "_" +
  // clickid, then closes the banner, opens "uapp" outside or shows it in the
  // in-app browser. The two perform the same steps.
  void setClickCookie(ui::Button& sender);
  void setClickCookie2(ui::Button& sender);
  // An activated link in the banner's page is a click: reported, opened
  // outside, and the banner closes. Every navigation is allowed.
  void decidePolicyFor(ui::WebView& webView, const platform::NavigationAction& action,
                       platform::DecisionHandler decisionHandler) override;
  // The older web view's question; always true. A followed link is
  // reported, nothing is opened or closed; "about:blank" passes silently.
  bool shouldStartLoadWith(ui::WebView& webView, const platform::URLRequest& request,
                           platform::NavigationType navigationType);
  // A loaded page shows through: the web view turns transparent.
  void didFinishNavigation(ui::WebView& webView) override;
  void didStartProvisionalNavigation(ui::WebView& webView) override;
  void didFailNavigation(ui::WebView& webView, const std::string& error) override;
  // The in-app browser while it is open (a web view over the whole screen).
  std::shared_ptr<ui::WebView> inAppBrowser;

  // --- Images, impressions, social proof, badge content
  //     (src/banner/pop_up_image*.cpp) ---

  // The image step of a banner (kind function, "bsc"): fills the
  // social-proof count into the parameter map, takes the image from the
  // shared cache or downloads it, then goes on to imageSet, in that order.
  // Nothing here waits on the network: the count and the image arrive on
  // other threads and the steps go on from the main queue. A failed
  // download or fetch still shows the banner (without image, count 0). The
  // controller must live in a shared pointer.
  void downloadImage(std::string_view url, const std::shared_ptr<ui::ViewController>& view,
                     std::string_view link, const Value& params, std::string_view function,
                     const StringMap& client_map);
  // Blocking loads for callers off the main thread. On the main thread they
  // load nothing (a log line) and answer the empty image and 0.
  static ui::Image getImageFromUrl(std::string_view urlToRequest);
  static std::int64_t getSocialProofValue(std::string_view url, std::string_view spid,
                                          std::string_view spiid);
  // The impression step: host functions, the impression report, the host's
  // "_runv"/"_runi" callbacks, the show, repeat and impression cookies; then
  // createBanner at the main screen's size and the "qiv_impression_" event.
  // A stale page view ("_execcounter") stops it before any of that.
  void imageSet(const std::shared_ptr<ui::ViewController>& view, const ui::Image& image,
                std::string_view link, const Value& params, std::string_view function,
                const StringMap& client_map);
  // Draws a text ("bdgat", "bdgdt") or image ("bdgai", "bdgdi") badge into
  // badge_view from the style map and returns the view it added; nothing for
  // any other banner type.
  static std::shared_ptr<ui::View> setBadgeContent(const std::shared_ptr<ui::View>& badge_view,
                                                   std::string_view banner_type,
                                                   std::string_view content, const Value& style,
                                                   const std::optional<ui::Image>& badge_image);

  // Starts following the keyboard and the device orientation; createBanner
  // calls it once.
  void viewDidLoad();
  void viewWillDisappear(bool animated);
  void keyboardNotification(const platform::Notification& notification);
  void orientationChanged(const platform::Notification& notification);
  void updateSizes();

  // Whether the screen the banner belongs to is the one shown in the key
  // window. The banner belongs to its parent, or before it has one, to the
  // host it is being laid over.
  bool viewDidTop();
  // The controller shown from base: through navigation stacks, selected
  // tabs and presented controllers.
  static std::shared_ptr<ui::ViewController> topViewController(
      std::shared_ptr<ui::ViewController> base);
  // Whether selected is a child of the window's root view controller.
  static bool isChild(const std::shared_ptr<ui::ViewController>& selected,
                      const std::shared_ptr<ui::Window>& window);

  // The banner's campaign, as createBanner received it.
  Value sender_customArray = Value::object();
  std::weak_ptr<ui::ViewController> sender_view;  // the host holds the banner
  std::string sender_viewClassName;
  StringMap sender_client_map;
  // "notification html" for HTML strips; with close_outside_click ("coc")
  // it decides whether the banner follows the keyboard.
  std::string banner_category;
  std::string close_outside_click;
  std::string activityFunction;
  ui::Image activityImage;
  std::string activityLink;
  // The banner itself: the pop-up or strip inside the overlay.
  std::shared_ptr<ui::View> containerView = ui::View::make();
  // Times the user closed the banner.
  std::int64_t closecounter = 0;
  // The parameter map as click handling keeps it.
  Value parameters = Value::object();
  std::shared_ptr<ui::ActivityIndicator> actInd =
      ui::ActivityIndicator::make(ui::ActivityIndicatorStyle::gray);
  // Never scheduled: banners have no timed close.
  std::shared_ptr<platform::Timer> myTimer;
  std::string test;
  // The device orientation (raw value) last acted on.
  int orientation = 0;
  // Creation time, whole seconds since 1970.
  std::int64_t tmptime = 0;

  // The web view of a web banner or strip, and the one of an inline frame.
  std::shared_ptr<ui::WebView> webView;
  std::shared_ptr<ui::WebView> inlineWebView;

 private:
  // The rotation step, 150 ms after an orientation change.
  void rotate();
  void close();
  // Clicks (pop_up_click*.cpp, pop_up_browser.cpp).
  void handleClick(ui::Button& sender);
  void runClickFunctions(const Value& customArray, const std::shared_ptr<ui::ViewController>& host);
  void closeAfterClick();
  void openInAppBrowser(const std::string& url);

  platform::Observation keyboardObservation_;
  platform::Observation orientationObservation_;
  bool loaded_ = false;
};

}  // namespace tavrino
