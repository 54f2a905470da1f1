// Page-view answers through the answer handling and the dispatch of their
// campaigns, over a view tree with a banner on screen.

#include <cstdint>

#include "campaign/answer/engine_state.hpp"
#include "core/shared_configuration.hpp"
#include "fuzz_platform.hpp"
#include "tavrino/async_task.hpp"
#include "tavrino/platform/linux_application.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/ui/window.hpp"
#include "tavrino/util/store.hpp"

using namespace tavrino;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::installQuietPlatform();
  static const bool prepared = [] {
    // Reports must not leave the machine: a base that forms no URL sends
    // nothing.
    Util::setCookieToQIVDefaults("_cburl", "not a url");
    Util::setCookieToQIVDefaults("_enable_inbox", "1");
    return true;
  }();
  (void)prepared;

  auto screen = std::make_shared<ui::ViewController>("FuzzScreen");
  auto window = ui::Window::make(ui::Rect::make(0, 0, 375, 812));
  window->setRootViewController(screen);
  auto banner = ui::View::make(ui::Rect::make(0, 700, 375, 112));
  banner->setAccessibilityIdentifier("qiv_banner");
  window->addSubview(banner);
  auto& application = dynamic_cast<platform::LinuxApplication&>(platform::current().application());
  application.setKeyWindow(window);

  AsyncTask task;
  const engine::PageView page{"http://127.0.0.1:9/d?p=fuzz",
                              ViewHandle(screen),
                              {{"p", "fuzz"}},
                              processState().execcounter()};
  engine::handleAnswer(task.handle(), Data(data, data + size), page);
  platform::current().dispatch().runUntilIdle();

  application.setKeyWindow(nullptr);
  return 0;
}
