#pragma once

// The web engine of the simulated host. Its pages keep what they are given,
// as the Linux engine's do (the mirror draws that), and once a document or
// request is in the page they report as a real engine would: the navigation
// action to the delegate, then, when allowed, the navigation started and
// finished. So banners stop their spinners as on a device.
//
// Thread-safety: main thread only.

#include "tavrino/platform/linux_web_engine.hpp"
#include "tavrino/ui/web_view.hpp"

namespace tavrino::sim {

class SimWebEngine final : public platform::WebEngine {
 public:
  std::unique_ptr<platform::WebPage> createPage(
      std::weak_ptr<platform::WebPageClient> client) override;
};

// What the view's page was given, when its engine keeps it (the simulator's
// or the Linux one); null otherwise.
platform::LinuxWebPage* recordedPage(ui::WebView& view);

}  // namespace tavrino::sim
