#pragma once

// WebEngine: the engine behind each web view. A ui::WebView is a node of the
// view tree; the page it shows belongs to the engine, which loads it,
// renders it and runs its scripts. The engine reports back to the page's
// client (the web view): navigations the page wants to make, and loads that
// started, finished or failed. Those reports reach the client on the main
// thread.
//
// Thread-safety: createPage() and the WebPage methods are called on the main
// thread.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "tavrino/export.hpp"
#include "tavrino/platform/url_session.hpp"

namespace tavrino::platform {

// Raw values as the platform numbers them: an activated link is 0.
enum class NavigationType {
  linkActivated = 0,
  formSubmitted = 1,
  backForward = 2,
  reload = 3,
  formResubmitted = 4,
  other = -1,
};

struct NavigationAction {
  NavigationType navigationType = NavigationType::other;
  // The request's URL; nothing when the request has none.
  std::optional<std::string> url;
};

enum class NavigationPolicy { cancel, allow };

// Answers a navigation action; calling it more than once has no effect.
using DecisionHandler = std::function<void(NavigationPolicy)>;

// What the engine reports about one page. Called on the main thread.
class TAVRINO_EXPORT WebPageClient {
 public:
  virtual ~WebPageClient();
  virtual void decidePolicy(const NavigationAction& action, DecisionHandler decisionHandler) = 0;
  virtual void didStartProvisionalNavigation() = 0;
  virtual void didFinishNavigation() = 0;
  virtual void didFailNavigation(const std::string& error) = 0;
};

// One page of the engine, owned by its web view.
class TAVRINO_EXPORT WebPage {
 public:
  virtual ~WebPage();
  // Shows html as a document; relative references resolve against baseURL
  // (none: they do not resolve).
  virtual void loadHTMLString(const std::string& html,
                              const std::optional<std::string>& baseURL) = 0;
  virtual void load(const URLRequest& request) = 0;
  virtual void stopLoading() = 0;
};

class TAVRINO_EXPORT WebEngine {
 public:
  virtual ~WebEngine();
  // A new, empty page reporting to client (held weakly: reports for a client
  // that is gone are dropped).
  virtual std::unique_ptr<WebPage> createPage(std::weak_ptr<WebPageClient> client) = 0;
};

}  // namespace tavrino::platform
