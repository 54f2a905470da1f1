#pragma once

// The web view: a node of the view tree whose page belongs to the platform's
// web engine (platform::WebEngine). The engine's reports about the page reach
// the navigation delegate on the main thread.
//
// Thread-safety: main thread only.

#include <memory>
#include <optional>
#include <string>

#include "tavrino/export.hpp"
#include "tavrino/platform/web_engine.hpp"
#include "tavrino/ui/view.hpp"

namespace tavrino::ui {

class WebView;

// Each method has a default: allow every navigation, ignore the rest.
class TAVRINO_EXPORT WebViewNavigationDelegate {
 public:
  virtual ~WebViewNavigationDelegate();
  virtual void decidePolicyFor(WebView& webView, const platform::NavigationAction& action,
                               platform::DecisionHandler decisionHandler);
  virtual void didStartProvisionalNavigation(WebView& webView);
  virtual void didFinishNavigation(WebView& webView);
  virtual void didFailNavigation(WebView& webView, const std::string& error);
};

class TAVRINO_EXPORT WebView : public View {
 public:
  explicit WebView(Rect frame = {});
  ~WebView() override;
  static std::shared_ptr<WebView> make(Rect frame = {});

  std::string_view kind() const override;

  // Hand the page to the engine (created from the current platform on first
  // use). Each is reported to observers as a content change.
  void loadHTMLString(const std::string& html, const std::optional<std::string>& baseURL);
  void load(const platform::URLRequest& request);
  void stopLoading();
  platform::WebPage& page();

  // Held weakly: the delegate usually owns the web view's tree.
  std::shared_ptr<WebViewNavigationDelegate> navigationDelegate() const { return delegate_.lock(); }
  void setNavigationDelegate(std::weak_ptr<WebViewNavigationDelegate> delegate);

  // The page's scroll view: whether it scrolls and bounces; true at first.
  bool isScrollEnabled() const { return scrollEnabled_; }
  void setScrollEnabled(bool enabled);
  bool bounces() const { return bounces_; }
  void setBounces(bool bounces);

 private:
  class Client;
  std::shared_ptr<Client> client_;
  std::unique_ptr<platform::WebPage> page_;
  std::weak_ptr<WebViewNavigationDelegate> delegate_;
  bool scrollEnabled_ = true;
  bool bounces_ = true;
};

}  // namespace tavrino::ui
