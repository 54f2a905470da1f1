#include <functional>

#include "support/sdk_test.hpp"
#include "tavrino/ui/activity_indicator.hpp"
#include "tavrino/ui/animation.hpp"
#include "tavrino/ui/custom_button.hpp"
#include "tavrino/ui/gesture_recognizer.hpp"
#include "tavrino/ui/text_view.hpp"
#include "tavrino/ui/web_view.hpp"
#include "ui/tree_mirror.hpp"

namespace tavrino {
namespace {

using testing::TreeMirror;
using ui::Button;
using ui::Rect;
using ui::View;

class WidgetsTest : public testing::SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    window->setTreeObserver(mirror);
    ui::clearRecordedAnimations();
  }
  void expectMirrored() { EXPECT_EQ(mirror->views, TreeMirror::expected(*window)); }

  std::shared_ptr<ui::Window> window = ui::Window::make(Rect::make(0, 0, 390, 844));
  std::shared_ptr<TreeMirror> mirror = std::make_shared<TreeMirror>(*window);
};

TEST_F(WidgetsTest, ObserverSeesEveryKindAndEveryContentChange) {
  auto overlay = View::make(window->bounds());
  auto button = ui::customButton::make(Rect::make(10, 10, 100, 30));
  auto text = ui::TextView::make(Rect::make(10, 50, 200, 40));
  auto spinner = ui::ActivityIndicator::make(ui::ActivityIndicatorStyle::gray);
  auto web = ui::WebView::make(Rect::make(0, 100, 390, 300));
  for (const std::shared_ptr<View>& v : std::initializer_list<std::shared_ptr<View>>{
           View::make(), View::make(), button, text, spinner, web})
    overlay->addSubview(v);
  window->addSubview(overlay);
  expectMirrored();

  // Each change must reach the mirror on its own: it re-reads only views it
  // is told of. Callers may pass entries of the very lists a call changes.
  const ui::Color white{1, 1, 1, 1}, black{0, 0, 0, 1};
  const ui::Font neue{"Helvetica Neue", 16}, georgia{"Georgia", 21};
  const ui::Image image{20, 10, {1, 2, 3}};
  platform::URLRequest page;
  page.url = "https://example.invalid/page";
  auto spare = View::make();
  window->addSubview(spare);
  const std::vector<std::function<void()>> changes{
      [&] { overlay->setFrame(Rect::make(1, 2, 3, 4)); },
      [&] { overlay->setHidden(true); },
      [&] { overlay->setAlpha(0.5); },
      [&] { overlay->setAccessibilityIdentifier("row"); },
      [&] { overlay->setRestorationIdentifier("list"); },
      [&] { overlay->setBackgroundColor(white); },
      [&] { overlay->setBorderColor(white); },
      [&] { overlay->setBorderWidth(2); },
      [&] { overlay->setCornerRadius(3); },
      [&] { overlay->setMasksToBounds(true); },
      [&] { overlay->setOpaque(false); },
      [&] { overlay->setUserInteractionEnabled(false); },
      [&] { overlay->addGestureRecognizer(ui::TapGestureRecognizer::make()); },
      [&] { overlay->removeGestureRecognizer(overlay->gestureRecognizers().front()); },
      [&] { overlay->insertSubview(View::make(), 0); },
      [&] { overlay->bringSubviewToFront(overlay->subviews()[0]); },
      [&] { overlay->addSubview(overlay->subviews()[0]); },  // to the front of its own list
      [&] { spare->addSubview(overlay->subviews()[0]); },    // to another parent
      [&] { button->setTitle("OK"); },
      [&] { button->setTitleColor(black); },
      [&] { button->setFont(neue); },
      [&] { button->setImage(image); },
      [&] { button->setEnabled(false); },
      [&] { text->setAttributedText(ui::AttributedText::fromHTML("<b>Hi</b>")); },
      [&] { text->setFont(georgia); },
      [&] { text->setTextColor(black); },
      [&] { text->setTextAlignment(ui::TextAlignment::center); },
      [&] { text->setEditable(false); },
      [&] { text->setSelectable(false); },
      [&] { text->setScrollEnabled(false); },
      [&] { spinner->startAnimating(); },
      [&] { spinner->setHidesWhenStopped(false); },
      [&] { spinner->stopAnimating(); },
      [&] { spinner->setStyle(ui::ActivityIndicatorStyle::whiteLarge); },
      [&] { web->setScrollEnabled(false); },
      [&] { web->setBounces(false); },
      [&] { web->loadHTMLString("<p>banner</p>", std::nullopt); },
      [&] { web->load(page); },
  };
  for (std::size_t i = 0; i < changes.size(); ++i) {
    SCOPED_TRACE("change " + std::to_string(i));
    const auto before = mirror->views;
    changes[i]();
    EXPECT_NE(TreeMirror::expected(*window), before);  // the change is visible
    expectMirrored();
  }
  EXPECT_EQ(mirror->unknownChanges, 0);

  // Setting what is already there tells nothing, nor does a change to a
  // subtree taken out; it is reported as it is when put back.
  const auto told = mirror->events.size();
  button->setTitle("OK");
  text->setTextAlignment(ui::TextAlignment::center);
  overlay->setFrame(overlay->frame());
  spare->removeFromSuperview();
  spare->subviews()[0]->setFrame(Rect::make(9, 9, 9, 9));
  spare->addSubview(View::make());
  EXPECT_EQ(mirror->events.size(), told + 1);
  window->addSubview(spare);
  expectMirrored();
  // A throwing observer neither escapes nor breaks the tree.
  enableDebugLog();
  mirror->throwOnAttach = true;
  EXPECT_NO_THROW(overlay->addSubview(spare));
  EXPECT_EQ(spare->window(), window);
  EXPECT_TRUE(log().contains("tree observer failed : widget toolkit refused"));
}

struct Closer {
  int closed = 0;
  void close(Button& sender) {
    ++closed;
    sender.superview()->removeFromSuperview();
  }
};

// Runs its actions only when it can be touched. (An action that drops the
// tree the button belongs to: the banners' close buttons, ClickButtonTest.)
TEST_F(WidgetsTest, ButtonRunsItsActionsOnlyWhenTouchable) {
  auto container = View::make(window->bounds());
  auto button = Button::make();
  container->addSubview(button);
  window->addSubview(container);
  std::vector<std::string> calls;
  button->addTarget([&](Button& sender) { calls.push_back(&sender == button.get() ? "1" : "?"); });
  button->addTarget([&](Button&) { throw std::runtime_error("host target failed"); });
  button->addTarget([&](Button&) { calls.push_back("3"); });
  EXPECT_TRUE(button->sendTouchUpInside());
  for (const auto& block : std::vector<std::function<void(bool)>>{
           [&](bool on) { button->setEnabled(on); }, [&](bool on) { container->setHidden(!on); },
           [&](bool on) { container->setUserInteractionEnabled(on); }}) {
    block(false);
    EXPECT_FALSE(button->sendTouchUpInside());
    block(true);
  }
  EXPECT_EQ(calls, (std::vector<std::string>{"1", "3"}));
  container->removeFromSuperview();

  // A target that is gone is not called.
  auto orphan = Button::make();
  window->addSubview(orphan);
  orphan->addTarget(std::make_shared<Closer>(), &Closer::close);
  EXPECT_TRUE(orphan->sendTouchUpInside());
}

TEST_F(WidgetsTest, TapFiresOnlyOnATouchableViewAndMayCloseIt) {
  auto overlay = View::make(window->bounds());
  window->addSubview(overlay);
  std::vector<ui::Point> taps;
  auto tap = ui::TapGestureRecognizer::make(
      [&](ui::GestureRecognizer& r) { taps.push_back(r.location()); });
  EXPECT_FALSE(tap->fire({5, 6}));  // on no view yet
  overlay->addGestureRecognizer(tap);
  EXPECT_TRUE(tap->fire({5, 6}));
  window->setUserInteractionEnabled(false);
  EXPECT_FALSE(tap->fire());
  window->setUserInteractionEnabled(true);
  // Moving it to another view takes it from the first.
  auto other = View::make();
  window->addSubview(other);
  other->addGestureRecognizer(tap);
  other->removeGestureRecognizer(tap);
  EXPECT_TRUE(overlay->gestureRecognizers().empty() && !tap->fire());

  // A tap that closes its overlay drops it safely; the later target still runs.
  auto banner = View::make(window->bounds());
  auto close = ui::TapGestureRecognizer::make(
      [](ui::GestureRecognizer& r) { r.view()->removeFromSuperview(); });
  close->addTarget([&](ui::GestureRecognizer& r) { taps.push_back(r.location()); });
  banner->addGestureRecognizer(close);
  window->addSubview(banner);
  const std::weak_ptr<View> weakBanner = std::exchange(banner, nullptr);
  const std::weak_ptr<ui::GestureRecognizer> weakTap = std::exchange(close, nullptr);
  EXPECT_TRUE(weakTap.lock()->fire({1, 2}));
  EXPECT_TRUE(weakBanner.expired() && weakTap.expired());
  EXPECT_EQ(taps, (std::vector<ui::Point>{{5, 6}, {1, 2}}));
  expectMirrored();
}

// Applied at once, completed, recorded from the first to the last state of
// each view it changed; a failing block still completes and is recorded.
// (The strips' slide-in: ControllerKindsTest.)
TEST_F(WidgetsTest, AnimationAppliesAtOnceAndRecordsWhatMoved) {
  auto strip = View::make(Rect::make(87, -112, 216, 112)), other = View::make();
  window->addSubview(strip);
  window->addSubview(other);
  int completed = 0;
  ui::animate(
      0.4, 0.1, ui::animationCurveEaseOut,
      [&] {
        strip->setFrame(Rect::make(87, 40, 216, 60));
        strip->setFrame(Rect::make(87, 47, 216, 112));
        other->setAlpha(0.5);
        throw std::runtime_error("host animation failed");
      },
      [&](bool finished) { completed += finished; });
  EXPECT_EQ(strip->frame(), Rect::make(87, 47, 216, 112));
  expectMirrored();
  using Moved = std::tuple<Rect, Rect, double, double>;  // frames, alphas
  std::vector<Moved> moved;
  const auto records = ui::recordedAnimations();
  for (const auto& v : records.at(0).views)
    moved.emplace_back(v.startFrame, v.endFrame, v.startAlpha, v.endAlpha);
  EXPECT_EQ(std::pair(completed, moved),
            std::pair(1, std::vector<Moved>{
                             {Rect::make(87, -112, 216, 112), Rect::make(87, 47, 216, 112), 1, 1},
                             {{}, {}, 1, 0.5}}));
}

}  // namespace
}  // namespace tavrino
