#pragma once

// The reference platform's web engine. It renders nothing and runs no
// script: each page keeps the document or request it was last given, so an
// observer, a test or a simulator can render it, and the host (or a test)
// reports navigations and loads through the page, as a real engine would.
// Reports are queued on the main loop and reach the page's client there.
//
// Thread-safety: the report methods may be called from any thread; the rest
// on the main thread.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tavrino/export.hpp"
#include "tavrino/platform/web_engine.hpp"

namespace tavrino::platform {

// What a page was asked to show.
struct WebContent {
  enum class Kind { none, html, request };
  Kind kind = Kind::none;
  std::string html;                    // kind html
  std::optional<std::string> baseURL;  // kind html
  URLRequest request;                  // kind request
};

class TAVRINO_EXPORT LinuxWebPage final : public WebPage {
 public:
  explicit LinuxWebPage(std::weak_ptr<WebPageClient> client);

  void loadHTMLString(const std::string& html, const std::optional<std::string>& baseURL) override;
  void load(const URLRequest& request) override;
  void stopLoading() override;

  // The content last loaded, and every load in order.
  WebContent content() const;
  std::vector<WebContent> history() const;
  int stopCount() const;

  // Asks the client about action on the main loop; onDecision (optional)
  // receives the answer there. A client that never answers decides nothing.
  void reportNavigationAction(NavigationAction action,
                              std::function<void(NavigationPolicy)> onDecision = {});
  void reportProvisionalNavigationStarted();
  void reportFinishedLoad();
  void reportFailedLoad(std::string error);

 private:
  std::weak_ptr<WebPageClient> client_;
  mutable std::mutex mu_;
  std::vector<WebContent> history_;
  int stops_ = 0;
};

class TAVRINO_EXPORT LinuxWebEngine final : public WebEngine {
 public:
  std::unique_ptr<WebPage> createPage(std::weak_ptr<WebPageClient> client) override;
};

}  // namespace tavrino::platform
