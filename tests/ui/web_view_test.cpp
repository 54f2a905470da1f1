#include <thread>

#include "support/sdk_test.hpp"
#include "tavrino/platform/linux_web_engine.hpp"
#include "tavrino/ui/web_view.hpp"

namespace tavrino {
namespace {

using namespace std::chrono_literals;
using platform::NavigationAction;
using platform::NavigationPolicy;
using platform::NavigationType;

struct RecordingDelegate : ui::WebViewNavigationDelegate {
  void decidePolicyFor(ui::WebView& view, const NavigationAction& action,
                       platform::DecisionHandler handler) override {
    events.push_back("decide " + action.url.value_or("-") + " " +
                     std::to_string(static_cast<int>(action.navigationType)));
    webView = &view;
    if (throwOnDecide) throw std::runtime_error("delegate failed");
    if (answerTwice) handler(NavigationPolicy::allow);
    if (!holdAnswer) handler(NavigationPolicy::cancel);
    held = handler;
  }
  void didStartProvisionalNavigation(ui::WebView&) override { events.push_back("start"); }
  void didFinishNavigation(ui::WebView& view) override {
    onMain = platform::current().dispatch().isMainThread();
    events.push_back("finish");
    webView = &view;
  }
  void didFailNavigation(ui::WebView&, const std::string& error) override {
    events.push_back("fail " + error);
  }

  std::vector<std::string> events;
  ui::WebView* webView = nullptr;
  bool onMain = false;
  bool throwOnDecide = false, answerTwice = false, holdAnswer = false;
  platform::DecisionHandler held;
};

class WebViewTest : public testing::SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    web = ui::WebView::make(ui::Rect::make(0, 0, 300, 250));
    delegate = std::make_shared<RecordingDelegate>();
    web->setNavigationDelegate(delegate);
  }
  platform::LinuxWebPage& page() { return dynamic_cast<platform::LinuxWebPage&>(web->page()); }

  std::shared_ptr<ui::WebView> web;
  std::shared_ptr<RecordingDelegate> delegate;
};

TEST_F(WebViewTest, ReportsReachTheDelegateOnTheMainLoop) {
  web->loadHTMLString("<p>x</p>", std::nullopt);
  page().reportProvisionalNavigationStarted();
  page().reportFinishedLoad();
  page().reportFailedLoad("offline");
  EXPECT_TRUE(delegate->events.empty());  // queued, not called from the report
  dispatch().runUntilIdle();
  EXPECT_EQ(delegate->webView, web.get());
  // A real engine reports from its own thread.
  delegate->onMain = false;
  std::thread([&] { page().reportFinishedLoad(); }).join();
  EXPECT_TRUE(dispatch().runUntil([&] { return delegate->events.size() == 4; }, 5s));
  EXPECT_TRUE(delegate->onMain);
  EXPECT_EQ(delegate->events,
            (std::vector<std::string>{"start", "finish", "fail offline", "finish"}));
}

// Decisions travel back to the engine once; a delegate that fails or is gone
// allows, and a view that is gone hears nothing.
TEST_F(WebViewTest, NavigationDecisionTravelsBackToTheEngineOnce) {
  std::vector<NavigationPolicy> decisions;
  auto record = [&](NavigationPolicy p) { decisions.push_back(p); };
  const auto decide = [&](NavigationType type, std::optional<std::string> url) {
    page().reportNavigationAction({type, std::move(url)}, record);
    EXPECT_NO_THROW(dispatch().runUntilIdle());
  };
  decide(NavigationType::linkActivated, "https://a.invalid/x");
  delegate->answerTwice = true;
  decide(NavigationType::other, std::nullopt);
  delegate->answerTwice = false;
  delegate->throwOnDecide = true;
  decide(NavigationType::linkActivated, "https://b.invalid");
  delegate->throwOnDecide = false;
  delegate->holdAnswer = true;  // answered later, still once
  decide(NavigationType::reload, "https://c.invalid");
  EXPECT_EQ(decisions.size(), 3u);
  delegate->held(NavigationPolicy::cancel);
  delegate->held(NavigationPolicy::allow);
  EXPECT_EQ(delegate->events,
            (std::vector<std::string>{"decide https://a.invalid/x 0", "decide - -1",
                                      "decide https://b.invalid 0", "decide https://c.invalid 3"}));

  auto bare = ui::WebView::make(ui::Rect::make(0, 0, 10, 10));
  bare->setNavigationDelegate(std::make_shared<RecordingDelegate>());  // held weakly: gone now
  auto& barePage = dynamic_cast<platform::LinuxWebPage&>(bare->page());
  barePage.reportNavigationAction({NavigationType::linkActivated, "https://a.invalid"}, record);
  barePage.reportFinishedLoad();
  // The banner closed before the engine's reports arrived.
  delegate->events.clear();
  page().reportFinishedLoad();
  page().reportNavigationAction({NavigationType::linkActivated, "https://b.invalid"}, record);
  web.reset();
  dispatch().runUntilIdle();
  EXPECT_TRUE(delegate->events.empty());
  using enum NavigationPolicy;
  EXPECT_EQ(decisions, (std::vector<NavigationPolicy>{cancel, allow, allow, cancel, allow}));
}

}  // namespace
}  // namespace tavrino
