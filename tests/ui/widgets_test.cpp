#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/sdk_test.hpp"
#include "tavrino/ui/activity_indicator.hpp"
#include "tavrino/ui/animation.hpp"
#include "tavrino/ui/button.hpp"
#include "tavrino/ui/custom_button.hpp"
#include "tavrino/ui/gesture_recognizer.hpp"
#include "tavrino/ui/image.hpp"
#include "tavrino/ui/text_view.hpp"
#include "tavrino/ui/web_view.hpp"
#include "tavrino/ui/window.hpp"
#include "ui/tree_mirror.hpp"

namespace tavrino {
namespace {

using testing::TreeMirror;
using ui::Button;
using ui::Color;
using ui::Rect;
using ui::View;

class WidgetsTest : public testing::SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    window = ui::Window::make(Rect::make(0, 0, 390, 844));
    mirror = std::make_shared<TreeMirror>(*window);
    window->setTreeObserver(mirror);
    ui::clearRecordedAnimations();
  }

  void expectMirrored() { EXPECT_EQ(mirror->views, TreeMirror::expected(*window)); }

  std::shared_ptr<ui::Window> window;
  std::shared_ptr<TreeMirror> mirror;
};

TEST_F(WidgetsTest, ObserverSeesEveryKindAndEveryContentChange) {
  auto overlay = View::make(window->bounds());
  auto button = ui::customButton::make(Rect::make(10, 10, 100, 30));
  auto text = ui::TextView::make(Rect::make(10, 50, 200, 40));
  auto spinner = ui::ActivityIndicator::make(ui::ActivityIndicatorStyle::gray);
  auto web = ui::WebView::make(Rect::make(0, 100, 390, 300));
  for (const auto& v : std::vector<std::shared_ptr<View>>{button, text, spinner, web}) {
    overlay->addSubview(v);
  }
  window->addSubview(overlay);
  EXPECT_EQ(mirror->views[spinner->identity()].kind, "ActivityIndicator");
  expectMirrored();

  // Each change must reach the mirror on its own: it re-reads only views it
  // is told of.
  const Color white{1, 1, 1, 1}, black{0, 0, 0, 1};
  const std::vector<std::function<void()>> changes{
      [&] { overlay->setBorderColor(white); },
      [&] { overlay->setBorderWidth(2); },
      [&] { overlay->setCornerRadius(3); },
      [&] { overlay->setMasksToBounds(true); },
      [&] { overlay->setOpaque(false); },
      [&] { overlay->setUserInteractionEnabled(false); },
      [&] { overlay->addGestureRecognizer(ui::TapGestureRecognizer::make()); },
      [&] { overlay->removeGestureRecognizer(overlay->gestureRecognizers().front()); },
      [&] { button->setTitle("OK"); },
      [&] { button->setTitleColor(black); },
      [&] {
        button->setFont({"Helvetica Neue", 16});
      },
      [&] {
        button->setImage({20, 10, {1, 2, 3}});
      },
      [&] { button->setEnabled(false); },
      [&] { text->setAttributedText(ui::AttributedText::fromHTML("<b>Hi</b>")); },
      [&] {
        text->setFont(ui::Font{"Georgia", 21});
      },
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
      [&] { web->load(testing::requestFor("https://example.invalid/page")); },
  };
  for (std::size_t i = 0; i < changes.size(); ++i) {
    SCOPED_TRACE("change " + std::to_string(i));
    const auto before = mirror->views;
    changes[i]();
    EXPECT_NE(TreeMirror::expected(*window), before);  // the change is visible
    expectMirrored();
  }
  EXPECT_EQ(mirror->unknownChanges, 0);

  // Setting what is already there tells nothing.
  const auto told = mirror->events.size();
  button->setTitle("OK");
  overlay->setCornerRadius(3);
  text->setTextAlignment(ui::TextAlignment::center);
  overlay->setFrame(overlay->frame());
  EXPECT_EQ(mirror->events.size(), told);
}

TEST_F(WidgetsTest, ButtonRunsItsActionsOnlyWhenItCanBeTouched) {
  auto container = View::make(window->bounds());
  auto button = Button::make();
  container->addSubview(button);
  window->addSubview(container);
  std::vector<std::string> calls;
  button->addTarget([&](Button& sender) {
    EXPECT_EQ(&sender, button.get());
    calls.push_back("first");
  });
  button->addTarget([&](Button&) { throw std::runtime_error("host target failed"); });
  button->addTarget([&](Button&) { calls.push_back("third"); });

  EXPECT_TRUE(button->sendTouchUpInside());
  EXPECT_EQ(calls, (std::vector<std::string>{"first", "third"}));

  calls.clear();
  for (const auto& block : std::vector<std::function<void(bool)>>{
           [&](bool on) { button->setEnabled(on); }, [&](bool on) { container->setHidden(!on); },
           [&](bool on) { container->setUserInteractionEnabled(on); }}) {
    block(false);
    EXPECT_FALSE(button->sendTouchUpInside());
    block(true);
  }
  EXPECT_TRUE(calls.empty());
}

struct Closer {
  int closed = 0;
  void close(Button& sender) {
    ++closed;
    sender.superview()->removeFromSuperview();
  }
};

TEST_F(WidgetsTest, ButtonActionMayDropTheTreeItBelongsTo) {
  auto closer = std::make_shared<Closer>();
  {
    auto banner = View::make(window->bounds());
    auto close = ui::customButton::make();
    close->addTarget(closer, &Closer::close);
    close->customArray = Value{{"zbid", "7"}};
    banner->addSubview(close);
    window->addSubview(banner);
  }
  auto close = std::dynamic_pointer_cast<ui::customButton>(window->subviews()[0]->subviews()[0]);
  ASSERT_TRUE(close);
  std::weak_ptr<Button> weak = close;
  close.reset();
  // The banner and its button are gone once the action returns.
  EXPECT_TRUE(weak.lock()->sendTouchUpInside());
  EXPECT_EQ(closer->closed, 1);
  EXPECT_TRUE(window->subviews().empty());
  EXPECT_TRUE(weak.expired());
  expectMirrored();

  // A target that is gone is not called.
  auto orphan = Button::make();
  window->addSubview(orphan);
  {
    auto gone = std::make_shared<Closer>();
    orphan->addTarget(gone, &Closer::close);
  }
  EXPECT_TRUE(orphan->sendTouchUpInside());
}

TEST_F(WidgetsTest, ViewsNamedByTheirOwnListsMoveSafely) {
  // Callers pass entries of the very lists these calls change.
  auto a = View::make();
  auto b = View::make();
  {
    auto child = View::make();
    a->addSubview(child);
    a->addSubview(View::make());
  }
  window->addSubview(a);
  window->addSubview(b);
  a->addSubview(a->subviews()[0]);  // to the front of its own list
  b->addSubview(a->subviews()[1]);  // to another parent
  EXPECT_EQ(a->subviews().size(), 1u);
  EXPECT_EQ(b->subviews().size(), 1u);
  a->addGestureRecognizer(ui::TapGestureRecognizer::make());
  a->removeGestureRecognizer(a->gestureRecognizers().front());
  EXPECT_TRUE(a->gestureRecognizers().empty());
  expectMirrored();
}

TEST_F(WidgetsTest, TapFiresOnlyOnATouchableViewAndMayCloseIt) {
  auto overlay = View::make(window->bounds());
  window->addSubview(overlay);
  int taps = 0;
  auto tap = ui::TapGestureRecognizer::make([&](ui::GestureRecognizer& r) {
    ++taps;
    EXPECT_EQ(r.location(), (ui::Point{5, 6}));
  });
  EXPECT_FALSE(tap->fire({5, 6}));  // on no view yet
  overlay->addGestureRecognizer(tap);
  EXPECT_EQ(tap->view(), overlay);
  EXPECT_TRUE(tap->fire({5, 6}));
  EXPECT_EQ(taps, 1);

  window->setUserInteractionEnabled(false);
  EXPECT_FALSE(tap->fire());
  window->setUserInteractionEnabled(true);

  // Moving it to another view takes it from the first.
  auto other = View::make();
  window->addSubview(other);
  other->addGestureRecognizer(tap);
  EXPECT_TRUE(overlay->gestureRecognizers().empty());
  other->removeGestureRecognizer(tap);
  EXPECT_FALSE(tap->fire());
  EXPECT_EQ(taps, 1);

  // A tap that closes its overlay drops it safely.
  std::weak_ptr<View> weakOverlay;
  std::weak_ptr<ui::GestureRecognizer> weakTap;
  {
    auto banner = View::make(window->bounds());
    auto close = ui::TapGestureRecognizer::make(
        [](ui::GestureRecognizer& r) { r.view()->removeFromSuperview(); });
    int seen = 0;
    close->addTarget([&](ui::GestureRecognizer&) { ++seen; });
    banner->addGestureRecognizer(close);
    window->addSubview(banner);
    weakOverlay = banner;
    weakTap = close;
    banner.reset();
    close.reset();
    EXPECT_TRUE(weakTap.lock()->fire());
    EXPECT_EQ(seen, 1);  // the later target still runs
  }
  EXPECT_TRUE(weakOverlay.expired());
  EXPECT_TRUE(weakTap.expired());
  expectMirrored();
}

TEST_F(WidgetsTest, AnimationAppliesAtOnceAndRecordsWhatMoved) {
  auto strip = View::make(Rect::make(87, -112, 216, 112));
  auto other = View::make();
  window->addSubview(strip);
  window->addSubview(other);
  bool finished = false;
  ui::animate(
      0.4, 0.1, ui::animationCurveEaseOut,
      [&] {
        strip->setFrame(Rect::make(87, 40, 216, 60));
        strip->setFrame(Rect::make(87, 47, 216, 112));
        other->setAlpha(0.5);
      },
      [&](bool done) {
        finished = done;
        EXPECT_EQ(strip->frame(), Rect::make(87, 47, 216, 112));
      });
  EXPECT_TRUE(finished);
  expectMirrored();

  const auto records = ui::recordedAnimations();
  ASSERT_EQ(records.size(), 1u);
  const auto& r = records[0];
  ASSERT_EQ(r.views.size(), 2u);
  EXPECT_EQ(r.views[0].startFrame, Rect::make(87, -112, 216, 112));
  EXPECT_EQ(r.views[0].endFrame, Rect::make(87, 47, 216, 112));
  EXPECT_EQ(r.views[1].startAlpha, 1);
  EXPECT_EQ(r.views[1].endAlpha, 0.5);

  // Changes outside an animation are not recorded; a failing block still
  // completes and is recorded.
  strip->setFrame(Rect::make(0, 0, 1, 1));
  finished = false;
  ui::animate(
      1, 0, 0,
      [&] {
        strip->setFrame(Rect::make(0, 0, 2, 2));
        throw std::runtime_error("host animation failed");
      },
      [&](bool done) { finished = done; });
  EXPECT_TRUE(finished);
  const auto after = ui::recordedAnimations();
  ASSERT_EQ(after.size(), 2u);
  ASSERT_EQ(after[1].views.size(), 1u);
  EXPECT_EQ(after[1].views[0].startFrame, Rect::make(0, 0, 1, 1));
}

TEST(ImageTest, CopiesShareBytesAndUnusableSizesAreEmpty) {
  const ui::Image image(600, 400, {0x89, 'P', 'N', 'G'});
  EXPECT_EQ(ui::Image(image).data().data(), image.data().data());
  EXPECT_NE(image, ui::Image(600, 400, {0x89}));
  EXPECT_TRUE(ui::Image(-5, 10, {}).isEmpty());
  EXPECT_TRUE(ui::Image(std::nan(""), 10, {}).isEmpty());
}

}  // namespace
}  // namespace tavrino
