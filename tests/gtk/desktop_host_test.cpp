// The desktop host under a private X server: campaigns from the reference
// service appear over the GTK window, run in WebKit and report back.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <tuple>

#include "desktop_host.hpp"
#include "desktop_session/desktop_session.hpp"
#include "desktop_session/helper_process.hpp"
#include "gtk/webkit_page.hpp"
#include "screenshot.hpp"
#include "service/service.hpp"
#include "sim/window/window_texture.hpp"
#include "tavrino/banner/banner_document.hpp"
#include "tavrino/client.hpp"
#include "tavrino/gtk/platform.hpp"
#include "tavrino/ui/activity_indicator.hpp"
#include "tavrino/ui/button.hpp"
#include "tavrino/ui/web_view.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr Rgb kPopUpGreen{0x43, 0xa0, 0x47};  // the "ev" fragment's page colour
constexpr Rgb kBadgeRed{0xe5, 0x39, 0x35};

template <typename T>
std::vector<std::shared_ptr<T>> viewsOf(const std::shared_ptr<ui::View>& root) {
  std::vector<std::shared_ptr<T>> found;
  if (auto view = std::dynamic_pointer_cast<T>(root)) found.push_back(view);
  for (const auto& child : root->subviews()) {
    for (auto& view : viewsOf<T>(child)) found.push_back(view);
  }
  return found;
}

// A view's frame in window coordinates.
ui::Rect inWindow(const ui::View& view) {
  ui::Rect frame = view.frame();
  for (auto up = view.superview(); up && up->superview(); up = up->superview()) {
    frame.origin.x += up->frame().origin.x;
    frame.origin.y += up->frame().origin.y;
  }
  return frame;
}

class DesktopHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetProcessStateForTesting();
    ASSERT_TRUE(gtk_init_check());
    auto scenario = service::Scenario::load(TAVRINO_DESKTOP_SCENARIO, nullptr);
    ASSERT_TRUE(scenario);
    service.setScenario(*scenario);
    const std::string baseUrl = service.start();
    gtk::GtkPlatformOptions options;
    options.base.dataDirectory = session.root() / "sdk";
    platform::install(gtk::makeGtkPlatform(options));
    Util::setCookieToQIVDefaults("qivtest", "1");
    Util::setCookieToQIVDefaults("_cburl", baseUrl);
    // No network beyond loopback: the banner page's script library fails at once.
    banner::setJQueryCDNHost("127.0.0.1:9");
    host = std::make_unique<desktop_host::DesktopHost>(baseUrl);
    gtk_window_present(host->gtkWindow());
  }

  void TearDown() override {
    host.reset();
    platform::install(nullptr);
    service.stop();
    resetProcessStateForTesting();
  }

  bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 20s) {
    return platform::current().dispatch().runUntil(done, timeout);
  }
  Screenshot shot() { return Screenshot(sim::renderWindow(host->gtkWindow())); }
  std::vector<std::shared_ptr<ui::WebView>> webViews() {
    return viewsOf<ui::WebView>(host->host().window());
  }

  // Waits until the window shows what done looks for. Screenshots are
  // dear on a software renderer: a few per second.
  bool waitForScreen(const std::function<bool(const Screenshot&)>& done,
                     std::chrono::milliseconds timeout = 10s) {
    auto next = std::chrono::steady_clock::now();
    return waitUntil(
        [&] {
          if (std::chrono::steady_clock::now() < next) return false;
          next = std::chrono::steady_clock::now() + 200ms;
          return done(shot());
        },
        timeout);
  }

  // The pop-up's web view once its page loaded and shows on screen.
  std::shared_ptr<ui::WebView> loadedPopUp() {
    const auto spinning = [&] {
      for (const auto& spinner : viewsOf<ui::ActivityIndicator>(host->host().window())) {
        if (spinner->isAnimating()) return true;
      }
      return false;
    };
    if (!waitUntil([&] { return webViews().size() == 1 && !spinning(); }, 30s)) return nullptr;
    const auto web = webViews().front();
    const ui::Rect frame = inWindow(*web);
    const bool shown = waitForScreen([&](const Screenshot& picture) {
      return near(
          picture.at(frame.origin.x + frame.width() / 2, frame.origin.y + frame.height() - 4),
          kPopUpGreen);
    });
    return shown ? web : nullptr;
  }

  DesktopSession session;
  service::Service service;
  std::unique_ptr<desktop_host::DesktopHost> host;
};

// One session: the Home pop-up twice (closed by a real pointer, then left
// through its link), the listing's badges, and a page request refused unsent.
TEST_F(DesktopHostTest, CampaignsShowRunAndReportInTheRealWindow) {
  // The desktop's handler of the link's scheme (and of text files) records
  // what it was given.
  const fs::path opened = session.root() / "opened.txt", handler = session.root() / "handler.sh";
  std::ofstream(handler) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> " << opened << "\n";
  fs::permissions(handler, fs::perms::owner_all);
  const fs::path apps = session.dataHome() / "applications";
  fs::create_directories(apps);
  fs::create_directories(session.configHome());
  std::ofstream(apps / "tavrinodemo.desktop")
      << "[Desktop Entry]\nType=Application\nName=Demo\nExec=" << handler.string()
      << " %u\nMimeType=x-scheme-handler/tavrinodemo;text/plain;\n";
  const std::string handlers =
      "x-scheme-handler/tavrinodemo=tavrinodemo.desktop;\ntext/plain=tavrinodemo.desktop;\n";
  std::ofstream(apps / "mimeinfo.cache") << "[MIME Cache]\n" << handlers;
  std::ofstream(session.configHome() / "mimeapps.list") << "[Default Applications]\n" << handlers;
  // Campaign data never opens local files, whatever claims them.
  std::ofstream(session.root() / "note.txt") << "private\n";
  platform::current().application().openURL("file://" + (session.root() / "note.txt").string());

  // A page request whose header would split it fails unsent.
  struct Failures : ui::WebViewNavigationDelegate {
    std::string error;
    void didFailNavigation(ui::WebView&, const std::string& e) override { error = e; }
  };
  auto failures = std::make_shared<Failures>();
  auto page = ui::WebView::make();
  page->setNavigationDelegate(failures);
  platform::URLRequest request;
  request.url = service.baseUrl() + "page";
  request.headers = {{"X-Id", "1\r\nHost: elsewhere"}};
  page->load(request);
  EXPECT_TRUE(waitUntil([&] { return !failures->error.empty(); }, 5s));
  EXPECT_TRUE(service.requests("/page").empty());

  host->showHome();
  auto web = loadedPopUp();
  ASSERT_TRUE(web);
  const Screenshot picture = shot();
  // Just inside each edge (and at the centre, where the spinner was) the
  // page's colour; just outside, not.
  const ui::Rect f = inWindow(*web);
  const double midX = f.origin.x + f.width() / 2, midY = f.origin.y + f.height() / 2;
  EXPECT_TRUE(near(picture.at(midX, midY), kPopUpGreen));
  for (const auto& [x, y, dx, dy] : {std::tuple(f.origin.x, midY, -4, 0),
                                     {f.origin.x + f.width(), midY, 4, 0},
                                     {midX, f.origin.y, 0, -4},
                                     {midX, f.origin.y + f.height(), 0, 4}}) {
    EXPECT_EQ(std::pair(near(picture.at(x - dx, y - dy), kPopUpGreen),
                        near(picture.at(x + dx, y + dy), kPopUpGreen)),
              std::pair(true, false))
        << x << "," << y;
  }
  // The spinner stopped and hides: nothing is drawn over the loaded page.
  for (const auto& spinner : viewsOf<ui::ActivityIndicator>(host->host().window())) {
    EXPECT_FALSE(spinner->isAnimating() || !spinner->isHidden());
  }
  // A real pointer click on the close button reaches its target (the window
  // sits at the screen's origin: there is no window manager).
  const auto buttons = viewsOf<ui::Button>(host->host().window());
  const auto close = std::ranges::find_if(
      buttons, [](const auto& button) { return button->accessibilityIdentifier() == "qiv_close"; });
  ASSERT_NE(close, buttons.end());
  const ui::Rect at = inWindow(**close);
  HelperProcess("/usr/bin/xdotool",
                {"mousemove", std::to_string(int(at.origin.x + at.width() / 2)),
                 std::to_string(int(at.origin.y + at.height() / 2)), "click", "1"})
      .finish(5s);
  EXPECT_TRUE(waitUntil([&] { return webViews().empty(); }, 5s));

  // Again, and the link in the page is followed: a click, opened by the
  // desktop's handler, and the pop-up gone from the screen too.
  host->showHome();
  web = loadedPopUp();
  ASSERT_TRUE(web);
  auto* webkit = dynamic_cast<gtk::WebKitPage*>(&web->page());
  ASSERT_TRUE(webkit);
  webkit_web_view_evaluate_javascript(WEBKIT_WEB_VIEW(webkit->widget()),
                                      "document.getElementById('shop').click()", -1, nullptr,
                                      nullptr, nullptr, nullptr, nullptr);
  auto read = [&] {
    std::ifstream in(opened);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_TRUE(waitUntil([&] {
    return read() == "tavrinodemo://listing?utm_source=popup\n" && webViews().empty();
  })) << read();
  EXPECT_TRUE(service.waitForRequests("/t", 1, 5s));
  int clickHits = 0;
  for (const auto& request : service.requests("/t")) clickHits += request.queryValue("a") == "c";
  EXPECT_EQ(clickHits, 1);
  EXPECT_NE(Util::getCookieToQIVDefaults("qiv_c_101", ""), "");
  EXPECT_TRUE(waitForScreen([&](const Screenshot& p) {
    return p.count(kPopUpGreen, f.origin.x, f.origin.y, f.width(), f.height()) == 0;
  }));

  // The listing's badges follow their rows through scroll and resize: the
  // product ids whose rows show one on screen, no badge colour elsewhere.
  host->showListing();
  auto badgedOnScreen = [&](const Screenshot& picture) {
    std::set<std::string> badged;
    int inRows = 0;
    for (const auto& [id, row] : host->productRows()) {
      graphene_rect_t b;
      if (!gtk_widget_compute_bounds(row, GTK_WIDGET(host->gtkWindow()), &b)) continue;
      const int red = picture.count(kBadgeRed, b.origin.x, b.origin.y, b.size.width, b.size.height);
      inRows += red;
      if (red > 100) badged.insert(id);
    }
    const int everywhere = picture.count(kBadgeRed);
    if (everywhere != inRows) badged.insert("elsewhere");
    return badged;
  };
  const std::set<std::string> expected{"A1", "C3"};
  auto settles = [&] {
    std::set<std::string> last;
    waitForScreen([&](const Screenshot& p) { return (last = badgedOnScreen(p)) == expected; });
    return last;
  };
  EXPECT_EQ(settles(), expected);
  GtkAdjustment* scroll =
      gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(host->listScroller()));
  // A1 half under the list's top edge: its badge is clipped there.
  gtk_adjustment_set_value(scroll, 60);
  EXPECT_EQ(settles(), expected) << "after scrolling";
  EXPECT_EQ(gtk_adjustment_get_value(scroll), 60);
  gtk_window_set_default_size(host->gtkWindow(), 600, 700);
  EXPECT_EQ(settles(), expected) << "after resizing";
  EXPECT_EQ(shot().width, 600);
}

}  // namespace
}  // namespace tavrino::testing
