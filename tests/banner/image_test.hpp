#pragma once

// Banners through their image step against the reference service: a host
// screen that is the key window's root, the debug log on, social-proof
// counts and images served over loopback.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/shared_configuration.hpp"
#include "support/service_test.hpp"
#include "tavrino/banner/pop_up_controller.hpp"
#include "tavrino/banner/social_proof.hpp"
#include "tavrino/platform/linux_application.hpp"
#include "tavrino/ui/window.hpp"

namespace tavrino::testing {

class ImageTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    enableDebugLog();
    ASSERT_TRUE(banner::setSocialProofOrigin(baseUrl));
    window->setRootViewController(host);
    application().setKeyWindow(window);
  }
  void TearDown() override {
    application().setKeyWindow(nullptr);
    banner::setSocialProofOrigin(banner::kDefaultSocialProofOrigin);
    ServiceTest::TearDown();
  }

  platform::LinuxApplication& application() {
    return dynamic_cast<platform::LinuxApplication&>(platform::current().application());
  }
  std::size_t count(std::string_view text) {
    const auto lines = log().lines();
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& line) { return line.find(text) != line.npos; });
  }

  // Starts the image step of a new banner; with wait, pumps the loop until
  // its impression step ran.
  std::shared_ptr<popUpController> present(const std::string& url, const Value& params,
                                           const StringMap& client_map = {}, bool wait = true) {
    const std::size_t before = count("imageSet called.");
    auto banner = std::make_shared<popUpController>();
    banner->downloadImage(url, host, "https://shop.example/home", params, "img", client_map);
    if (wait) {
      EXPECT_TRUE(waitUntil([&] { return count("imageSet called.") > before; }));
    }
    return banner;
  }

  bool attached(popUpController& banner) {
    return banner.isViewLoaded() && banner.view()->superview() == host->view();
  }
  void socialProof(std::vector<service::SocialProofCount> counts) {
    service::Scenario scenario;
    scenario.socialProof = std::move(counts);
    service.setScenario(std::move(scenario));
  }
  std::string image(std::string_view name) { return baseUrl + "img/" + std::string(name); }

  std::shared_ptr<ui::Window> window = ui::Window::make(ui::Rect::make(0, 0, 390, 844));
  std::shared_ptr<ui::ViewController> host =
      std::make_shared<ui::ViewController>("HomeViewController");
};

}  // namespace tavrino::testing
