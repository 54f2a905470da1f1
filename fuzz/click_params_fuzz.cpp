// Arbitrary click parameter maps (JSON objects) through a shown banner's
// click handling: a tap on its click button (both selectors), a link
// activated in its page and the older web view's question.
//
// Invariants: the store changes only under the click keys ("qiv_c_*",
// "qiv_lzbid*", the unique click marker "qiv_z_*") or a cookie the map
// itself names for a banner-script function ("cookie_name") that is not one of
// the SDK's own keys; the platform is asked to open only the map's "uapp"
// (with "https:" before a leading "//") or the activated link, and only
// when its scheme may be opened outside.

#include <set>

#include "core/links/link_checks.hpp"
#include "core/reserved_keys.hpp"
#include "core/shared_configuration.hpp"
#include "fuzz_support.hpp"
#include "tavrino/banner/pop_up_controller.hpp"
#include "tavrino/ui/custom_button.hpp"
#include "tavrino/ui/window.hpp"

using namespace tavrino;
using fuzz::require;

namespace {

// Maps may name any URL ("avf_url" through a run function): every transfer
// goes to the discard port on loopback instead, and fails at once.
class LoopbackSession final : public fuzz::OfflineSession {
 public:
  using fuzz::OfflineSession::OfflineSession;
  void dataTask(platform::URLRequest request, platform::DataTaskCompletion completion) override {
    request.url = "http://127.0.0.1:9/";
    real_.dataTask(std::move(request), std::move(completion));
  }
};

// Every "cookie_name" a banner-script function could be handed: run
// functions merge "param" members into the map they pass on.
void collectCookieNames(const Value& value, std::set<std::string>& names, int depth = 0) {
  if (depth > 300) return;
  if (value.is_object()) {
    for (auto it = value.begin(); it != value.end(); ++it) {
      if (it.key() == "cookie_name") names.insert(describe(it.value()));
      collectCookieNames(it.value(), names, depth + 1);
    }
  } else if (value.is_array()) {
    for (const auto& element : value) collectCookieNames(element, names, depth + 1);
  }
}

bool isClickKey(const std::string& key, const std::set<std::string>& cookieNames) {
  return key.starts_with("qiv_c_") || key.starts_with("qiv_lzbid") || key.starts_with("qiv_z_") ||
         (cookieNames.contains(key) && !isReservedKey(key));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The visitor's lasting random bucket drawn already: the invariant sees
  // only what clicks write.
  fuzz::install<LoopbackSession>({{"_cburl", "http://127.0.0.1:9/"},
                                  {"_enable_inbox", "1"},
                                  {"qiv_inbox_groupname", "fuzz.group"},
                                  {"qivrandom", "7"}});
  auto& application = fuzz::application();
  const Value params = fuzz::jsonObject(data, size);

  auto host = std::make_shared<ui::ViewController>("FuzzScreen");
  auto window = ui::Window::make(ui::Rect::make(0, 0, 375, 812));
  window->setRootViewController(host);
  application.setKeyWindow(window);

  // A banner on the host, its page in a web view, as createBanner leaves it.
  auto banner = std::make_shared<popUpController>();
  banner->sender_customArray = params;
  banner->sender_view = host;
  banner->sender_client_map = {{"p", "fuzz"}};
  banner->parameters = params;
  banner->activityLink = Util::tryCatch(params, "qivlink", "");
  host->view()->addSubview(banner->view());
  host->addChild(banner);
  banner->webView = ui::WebView::make(ui::Rect::make(0, 0, 300, 250));
  banner->webView->setNavigationDelegate(std::weak_ptr<ui::WebViewNavigationDelegate>(banner));
  banner->containerView->addSubview(banner->webView);
  banner->view()->addSubview(banner->containerView);

  const auto before = fuzz::storeSnapshot();
  const auto openedBefore = application.openedURLs().size();

  auto button = ui::customButton::make();
  button->customArray = params;
  button->view = host;
  button->client_map = {{"p", "fuzz"}};
  banner->view()->addSubview(button);
  button->addTarget(banner, &popUpController::setClickCookie);
  button->sendTouchUpInside();
  banner->setClickCookie2(*button);

  const std::string link = Util::tryCatch(params, "link", "https://shop.example/");
  bool answered = false;
  banner->decidePolicyFor(*banner->webView, {platform::NavigationType::linkActivated, link},
                          [&](platform::NavigationPolicy) { answered = true; });
  platform::URLRequest request;
  request.url = link;
  require(answered && banner->shouldStartLoadWith(*banner->webView, request,
                                                  platform::NavigationType::linkActivated),
          "an activated link left unanswered");
  if (banner->inAppBrowser) {
    banner->decidePolicyFor(*banner->inAppBrowser, {platform::NavigationType::linkActivated, link},
                            {});
  }
  platform::current().dispatch().runUntilIdle();

  std::set<std::string> cookieNames;
  collectCookieNames(params, cookieNames);
  for (const auto& key : fuzz::changedKeys(before, fuzz::storeSnapshot())) {
    require(isClickKey(key, cookieNames), "wrote " + key);
  }
  std::string uapp = Util::tryCatch(params, "uapp", "");
  if (uapp.starts_with("//")) uapp = "https:" + uapp;
  const auto opened = application.openedURLs();
  for (std::size_t i = openedBefore; i < opened.size(); ++i) {
    require((opened[i] == uapp || opened[i] == link) && links::mayOpenOutside(opened[i], "fuzz"),
            "opened " + opened[i]);
  }
  require(opened.size() <= openedBefore + 3, "opened more than two taps and a link");

  fuzz::replaceStore(before);  // each input starts from the same store
  application.setKeyWindow(nullptr);
  return 0;
}
