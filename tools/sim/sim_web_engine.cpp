#include "sim/sim_web_engine.hpp"

#include "tavrino/platform/platform.hpp"

namespace tavrino::sim {
namespace {

class SimWebPage final : public platform::WebPage {
 public:
  explicit SimWebPage(std::weak_ptr<platform::WebPageClient> client)
      : client_(client), recorded_(std::move(client)) {}

  void loadHTMLString(const std::string& html, const std::optional<std::string>& baseURL) override {
    recorded_.loadHTMLString(html, baseURL);
    navigate(baseURL.value_or("about:blank"));
  }
  void load(const platform::URLRequest& request) override {
    recorded_.load(request);
    navigate(request.url);
  }
  void stopLoading() override { recorded_.stopLoading(); }

  platform::LinuxWebPage& recorded() { return recorded_; }

 private:
  // Each report reaches the client in a main-loop turn of its own, after the
  // load call returned, as an engine's do.
  void navigate(std::string url) {
    recorded_.reportNavigationAction(
        {platform::NavigationType::other, std::move(url)},
        [client = client_](platform::NavigationPolicy policy) {
          if (policy != platform::NavigationPolicy::allow) return;
          auto& dispatch = platform::current().dispatch();
          dispatch.mainAsync([client] {
            if (auto c = client.lock()) c->didStartProvisionalNavigation();
          });
          dispatch.mainAsync([client] {
            if (auto c = client.lock()) c->didFinishNavigation();
          });
        });
  }

  std::weak_ptr<platform::WebPageClient> client_;
  platform::LinuxWebPage recorded_;
};

}  // namespace

std::unique_ptr<platform::WebPage> SimWebEngine::createPage(
    std::weak_ptr<platform::WebPageClient> client) {
  return std::make_unique<SimWebPage>(std::move(client));
}

platform::LinuxWebPage* recordedPage(ui::WebView& view) {
  auto& page = view.page();
  if (auto* simulated = dynamic_cast<SimWebPage*>(&page)) return &simulated->recorded();
  return dynamic_cast<platform::LinuxWebPage*>(&page);
}

}  // namespace tavrino::sim
