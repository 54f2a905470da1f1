#pragma once

// The ways a test clicks a banner: the OK button, a link in the banner's
// page; and what the click left behind.

#include <memory>
#include <optional>
#include <string>

#include "banner/controller_test.hpp"
#include "campaign/engine_test.hpp"
#include "tavrino/platform/linux_web_engine.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::testing {

inline platform::LinuxWebPage& pageOf(ui::WebView& web) {
  return dynamic_cast<platform::LinuxWebPage&>(web.page());
}
inline platform::WebContent contentOf(ui::WebView& web) {
  return pageOf(web).content();
}

class ClickTest : public ControllerTest {
 protected:
  void SetUp() override {
    ControllerTest::SetUp();
    clock().set(kTestEpoch);
  }

  // An image pop-up with an OK button labelled "Go", carrying params.
  std::shared_ptr<popUpController> popUp(Value params,
                                         const StringMap& client_map = {{"p", "Home"}}) {
    params["btx"] = "Go";
    return show(params, "imgtxt", ui::Image(600, 400, Data{1, 2, 3}), client_map);
  }
  // Taps the banner's OK button; false when there is none or it took no tap.
  bool tapOk(const std::shared_ptr<popUpController>& banner) {
    auto ok = button(banner->view(), "Go");
    return ok && ok->sendTouchUpInside();
  }

  // What a link followed in web's page is answered, after the main loop ran.
  std::optional<platform::NavigationPolicy> navigate(ui::WebView& web,
                                                     platform::NavigationType type,
                                                     std::optional<std::string> url) {
    std::optional<platform::NavigationPolicy> answer;
    pageOf(web).reportNavigationAction({type, std::move(url)},
                                       [&](platform::NavigationPolicy p) { answer = p; });
    dispatch().runUntilIdle();
    return answer;
  }

  static std::optional<std::string> stored(const std::string& key) {
    return Util::qivDefaults()->string(key);
  }
  std::vector<std::string> opened() { return application().openedURLs(); }
  // The click hits that reached the service so far.
  std::size_t clickHits() {
    dispatch().runUntilIdle();
    const auto requests = service.requests("/t");
    return std::count_if(requests.begin(), requests.end(),
                         [](const auto& r) { return r.queryValue("a") == "c"; });
  }
};

}  // namespace tavrino::testing
