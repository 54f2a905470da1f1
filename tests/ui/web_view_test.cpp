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
                     std::to_string(static_cast<int>(action.navigationType)) +
                     (&view == webView ? "" : " elsewhere"));
    if (answer == Answer::throws) throw std::runtime_error("delegate failed");
    if (answer == Answer::twice) handler(NavigationPolicy::allow);
    if (answer != Answer::later) handler(NavigationPolicy::cancel);
    held = handler;
  }
  void didStartProvisionalNavigation(ui::WebView&) override { events.push_back("start"); }
  void didFinishNavigation(ui::WebView& view) override {
    const bool onMain = platform::current().dispatch().isMainThread() && &view == webView;
    events.push_back(onMain ? "finish" : "finish elsewhere");
  }
  void didFailNavigation(ui::WebView&, const std::string& error) override {
    events.push_back("fail " + error);
  }

  std::vector<std::string> events;
  ui::WebView* webView = nullptr;  // the view it delegates for
  enum class Answer { once, twice, throws, later } answer = Answer::once;
  platform::DecisionHandler held;
};

class WebViewTest : public testing::SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    web->setNavigationDelegate(delegate);
    delegate->webView = web.get();
  }
  platform::LinuxWebPage& page() { return dynamic_cast<platform::LinuxWebPage&>(web->page()); }

  std::shared_ptr<ui::WebView> web = ui::WebView::make(ui::Rect::make(0, 0, 300, 250));
  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

// Reports reach the delegate on the main loop, from any thread. Decisions
// travel back to the engine once; a delegate that fails or is gone allows, and
// a view that is gone hears nothing.
TEST_F(WebViewTest, ReportsAndDecisionsTravelOnTheMainLoopAndBackToTheEngineOnce) {
  page().reportProvisionalNavigationStarted();
  page().reportFailedLoad("offline");
  EXPECT_TRUE(delegate->events.empty());                     // queued, not called from the report
  std::thread([&] { page().reportFinishedLoad(); }).join();  // as a real engine does
  EXPECT_TRUE(dispatch().runUntil([&] { return delegate->events.size() == 3; }, 5s));
  std::vector<NavigationPolicy> decisions;
  auto record = [&](NavigationPolicy p) { decisions.push_back(p); };
  using Answer = RecordingDelegate::Answer;
  const auto decide = [&](NavigationType type, std::optional<std::string> url, Answer answer) {
    delegate->answer = answer;
    page().reportNavigationAction({type, std::move(url)}, record);
    EXPECT_NO_THROW(dispatch().runUntilIdle());
  };
  decide(NavigationType::linkActivated, "https://a.invalid/x", Answer::once);
  decide(NavigationType::other, std::nullopt, Answer::twice);
  decide(NavigationType::linkActivated, "https://b.invalid", Answer::throws);
  decide(NavigationType::reload, "https://c.invalid", Answer::later);  // answered later, once
  EXPECT_EQ(decisions.size(), 3u);
  delegate->held(NavigationPolicy::cancel);
  delegate->held(NavigationPolicy::allow);
  EXPECT_EQ(delegate->events,
            (std::vector<std::string>{"start", "fail offline", "finish",
                                      "decide https://a.invalid/x 0", "decide - -1",
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
