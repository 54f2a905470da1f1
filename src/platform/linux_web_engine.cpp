#include "tavrino/platform/linux_web_engine.hpp"

#include <utility>

#include "tavrino/platform/platform.hpp"

namespace tavrino::platform {

LinuxWebPage::LinuxWebPage(std::weak_ptr<WebPageClient> client) : client_(std::move(client)) {}

void LinuxWebPage::loadHTMLString(const std::string& html,
                                  const std::optional<std::string>& baseURL) {
  WebContent content;
  content.kind = WebContent::Kind::html;
  content.html = html;
  content.baseURL = baseURL;
  std::lock_guard lock(mu_);
  history_.push_back(std::move(content));
}

void LinuxWebPage::load(const URLRequest& request) {
  WebContent content;
  content.kind = WebContent::Kind::request;
  content.request = request;
  std::lock_guard lock(mu_);
  history_.push_back(std::move(content));
}

void LinuxWebPage::stopLoading() {
  std::lock_guard lock(mu_);
  ++stops_;
}

WebContent LinuxWebPage::content() const {
  std::lock_guard lock(mu_);
  return history_.empty() ? WebContent{} : history_.back();
}

std::vector<WebContent> LinuxWebPage::history() const {
  std::lock_guard lock(mu_);
  return history_;
}

int LinuxWebPage::stopCount() const {
  std::lock_guard lock(mu_);
  return stops_;
}

// Reports hop to the main loop and find the client there; a page or view
// gone by then receives nothing.
void LinuxWebPage::reportNavigationAction(NavigationAction action,
                                          std::function<void(NavigationPolicy)> onDecision) {
  current().dispatch().mainAsync(
      [client = client_, action = std::move(action), onDecision = std::move(onDecision)] {
        if (auto c = client.lock()) {
          c->decidePolicy(action, [onDecision](NavigationPolicy policy) {
            if (onDecision) onDecision(policy);
          });
        }
      });
}

void LinuxWebPage::reportProvisionalNavigationStarted() {
  current().dispatch().mainAsync([client = client_] {
    if (auto c = client.lock()) c->didStartProvisionalNavigation();
  });
}

void LinuxWebPage::reportFinishedLoad() {
  current().dispatch().mainAsync([client = client_] {
    if (auto c = client.lock()) c->didFinishNavigation();
  });
}

void LinuxWebPage::reportFailedLoad(std::string error) {
  current().dispatch().mainAsync([client = client_, error = std::move(error)] {
    if (auto c = client.lock()) c->didFailNavigation(error);
  });
}

std::unique_ptr<WebPage> LinuxWebEngine::createPage(std::weak_ptr<WebPageClient> client) {
  return std::make_unique<LinuxWebPage>(std::move(client));
}

}  // namespace tavrino::platform
