#include "tavrino/gtk/platform.hpp"

#include "gtk/desktop_services.hpp"
#include "gtk/glib_dispatch.hpp"
#include "gtk/webkit_page.hpp"

namespace tavrino::gtk {
namespace {

// The reference platform underneath keeps storage, transfers, fonts, images
// and its thread pool; its own run loop stays idle, since every service that
// posts to the main queue reaches it through this platform's dispatch.
class GtkPlatform final : public platform::PlatformWrapper {
 public:
  GtkPlatform(std::unique_ptr<platform::Platform> base, GMainContext* context,
              std::shared_ptr<platform::LinuxApplication> state,
              std::function<void(const MainTaskRun&)> taskObserver)
      : PlatformWrapper(std::move(base)),
        dispatch_(context, target().dispatch(), target().log(), std::move(taskObserver)),
        application_(std::move(state)),
        screen_(target().screen()),
        webEngine_(dispatch_) {}

  platform::Dispatch& dispatch() override { return dispatch_; }
  platform::Application& application() override { return application_; }
  platform::Screen& screen() override { return screen_; }
  platform::WebEngine& webEngine() override { return webEngine_; }

 private:
  GlibDispatch dispatch_;
  DesktopApplication application_;
  DesktopScreen screen_;
  WebKitEngine webEngine_;
};

}  // namespace

std::unique_ptr<platform::Platform> makeGtkPlatform(GtkPlatformOptions options) {
  auto state = std::dynamic_pointer_cast<platform::LinuxApplication>(options.base.application);
  if (!state) state = std::make_shared<platform::LinuxApplication>();
  state->setSupportsAlternateIcons(false);
  options.base.application = state;
  options.base.clock = nullptr;
  options.base.webEngine = nullptr;
  return std::make_unique<GtkPlatform>(platform::makeLinuxPlatform(std::move(options.base)),
                                       options.context, std::move(state),
                                       std::move(options.taskObserver));
}

}  // namespace tavrino::gtk
