#include "tavrino/ui/web_view.hpp"

#include <utility>

#include "tavrino/platform/platform.hpp"
#include "ui/action_call.hpp"

namespace tavrino::ui {

WebViewNavigationDelegate::~WebViewNavigationDelegate() = default;

void WebViewNavigationDelegate::decidePolicyFor(WebView&, const platform::NavigationAction&,
                                                platform::DecisionHandler decisionHandler) {
  if (decisionHandler) decisionHandler(platform::NavigationPolicy::allow);
}

void WebViewNavigationDelegate::didStartProvisionalNavigation(WebView&) {}
void WebViewNavigationDelegate::didFinishNavigation(WebView&) {}
void WebViewNavigationDelegate::didFailNavigation(WebView&, const std::string&) {}

// The engine's reports about the page, passed to the delegate. The engine
// holds it weakly and the web view forgets it when destroyed, so a late
// report for a view that is gone goes nowhere.
class WebView::Client final : public platform::WebPageClient {
 public:
  explicit Client(WebView* view) : view_(view) {}
  void forget() { view_ = nullptr; }

  void decidePolicy(const platform::NavigationAction& action,
                    platform::DecisionHandler decisionHandler) override {
    // Answers once; a delegate that fails before answering allows, as the
    // delegate's default does.
    auto answered = std::make_shared<bool>(false);
    platform::DecisionHandler once = [answered, decisionHandler](platform::NavigationPolicy p) {
      if (*answered) return;
      *answered = true;
      if (decisionHandler) decisionHandler(p);
    };
    auto delegate = view_ ? view_->navigationDelegate() : nullptr;
    if (!delegate) return once(platform::NavigationPolicy::allow);
    const auto keep = view_->weak_from_this().lock();
    const bool ok = detail::callGuarded("web view delegate",
                                        [&] { delegate->decidePolicyFor(*view_, action, once); });
    if (!ok) once(platform::NavigationPolicy::allow);
  }

  void didStartProvisionalNavigation() override {
    tell([](WebViewNavigationDelegate& d, WebView& v) { d.didStartProvisionalNavigation(v); });
  }
  void didFinishNavigation() override {
    tell([](WebViewNavigationDelegate& d, WebView& v) { d.didFinishNavigation(v); });
  }
  void didFailNavigation(const std::string& error) override {
    tell([&](WebViewNavigationDelegate& d, WebView& v) { d.didFailNavigation(v, error); });
  }

 private:
  template <typename Fn>
  void tell(Fn&& fn) {
    auto delegate = view_ ? view_->navigationDelegate() : nullptr;
    if (!delegate) return;
    const auto keep = view_->weak_from_this().lock();
    detail::callGuarded("web view delegate", [&] { fn(*delegate, *view_); });
  }

  WebView* view_;
};

WebView::WebView(Rect frame) : View(frame), client_(std::make_shared<Client>(this)) {}

WebView::~WebView() {
  client_->forget();
}

std::shared_ptr<WebView> WebView::make(Rect frame) {
  return std::make_shared<WebView>(frame);
}

std::string_view WebView::kind() const {
  return "WebView";
}

platform::WebPage& WebView::page() {
  if (!page_) page_ = platform::current().webEngine().createPage(client_);
  return *page_;
}

void WebView::loadHTMLString(const std::string& html, const std::optional<std::string>& baseURL) {
  page().loadHTMLString(html, baseURL);
  notifyChanged(ViewChange::content);
}

void WebView::load(const platform::URLRequest& request) {
  page().load(request);
  notifyChanged(ViewChange::content);
}

void WebView::stopLoading() {
  if (page_) page_->stopLoading();
}

void WebView::setNavigationDelegate(std::weak_ptr<WebViewNavigationDelegate> delegate) {
  delegate_ = std::move(delegate);
}

void WebView::setScrollEnabled(bool enabled) {
  if (enabled == scrollEnabled_) return;
  scrollEnabled_ = enabled;
  notifyChanged(ViewChange::content);
}

void WebView::setBounces(bool bounces) {
  if (bounces == bounces_) return;
  bounces_ = bounces;
  notifyChanged(ViewChange::content);
}

}  // namespace tavrino::ui
