#pragma once

// Banners over a host screen that is the key window's root, on the Linux
// platform with a manual clock, the debug log on and the reference service
// receiving their reports.

#include <algorithm>
#include <memory>
#include <string>

#include "core/shared_configuration.hpp"
#include "support/service_test.hpp"
#include "tavrino/banner/badge_definitions.hpp"
#include "tavrino/banner/geometry.hpp"
#include "tavrino/banner/pop_up_controller.hpp"
#include "tavrino/platform/linux.hpp"
#include "tavrino/ui/animation.hpp"
#include "tavrino/ui/custom_button.hpp"
#include "tavrino/ui/window.hpp"

namespace tavrino::testing {

// The views below root of type T, depth first.
template <typename T>
std::vector<std::shared_ptr<T>> find(const std::shared_ptr<ui::View>& root) {
  std::vector<std::shared_ptr<T>> found;
  for (const auto& child : root->subviews()) {
    if (auto typed = std::dynamic_pointer_cast<T>(child)) found.push_back(typed);
    for (auto& deeper : find<T>(child)) found.push_back(deeper);
  }
  return found;
}

// The button with that title below root, or null.
inline std::shared_ptr<ui::Button> button(const std::shared_ptr<ui::View>& root,
                                          std::string_view title) {
  for (const auto& b : find<ui::Button>(root))
    if (b->title() == title) return b;
  return nullptr;
}

inline void allowDomains(std::vector<std::string> domains) {
  processState().withConfig([&](SharedConfiguration& c) { c.allowedDomains = domains; });
}

class ControllerTest : public ServiceTest {
 protected:
  static constexpr ui::Size kReference{390, 844};

  void SetUp() override {
    ServiceTest::SetUp();
    enableDebugLog();
    banner::BadgeDefinitions::shared().clear();
    ui::clearRecordedAnimations();
    window = ui::Window::make(ui::Rect::make(0, 0, kReference.width, kReference.height));
    host = std::make_shared<ui::ViewController>("HomeViewController");
    window->setRootViewController(host);
    application().setKeyWindow(window);
  }
  void TearDown() override {
    application().setKeyWindow(nullptr);
    banner::BadgeDefinitions::shared().clear();
    ServiceTest::TearDown();
  }

  platform::LinuxApplication& application() {
    return dynamic_cast<platform::LinuxApplication&>(platform::current().application());
  }
  platform::LinuxScreen& screen() {
    return dynamic_cast<platform::LinuxScreen&>(platform::current().screen());
  }

  // A new controller that built the banner over host.
  std::shared_ptr<popUpController> show(const Value& params, std::string_view function,
                                        const ui::Image& image = {},
                                        const StringMap& client_map = {}) {
    auto banner = std::make_shared<popUpController>();
    banner->createBanner(host, image, params, function, kReference, client_map);
    return banner;
  }

  // Returns true iff the banner's view hangs under the host's view.
  bool attached(popUpController& banner) {
    return banner.isViewLoaded() && banner.view()->superview() == host->view();
  }
  std::size_t count(std::string_view text) {
    const auto lines = log().lines();
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& line) { return line.find(text) != line.npos; });
  }

  std::shared_ptr<ui::Window> window;
  std::shared_ptr<ui::ViewController> host;
};

}  // namespace tavrino::testing
