// Where notification strips sit and how they come in, and the host's bars
// they keep clear of.

#include "pop_up_build.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/ui/animation.hpp"

namespace tavrino::banner {

HostInsets measureHost(const std::shared_ptr<ui::ViewController>& host) {
  HostInsets insets;
  insets.statusBar = platform::current().screen().statusBarFrame().height();
  for (auto up = host ? host->parent() : nullptr; up; up = up->parent()) {
    if (dynamic_cast<ui::NavigationController*>(up.get()) && insets.navigationBar == 0) {
      insets.navigationBar = kNavigationBarHeight;
    }
    if (dynamic_cast<ui::TabBarController*>(up.get()) && insets.tabBar == 0) {
      insets.tabBar = kTabBarHeight;
    }
  }
  return insets;
}

// Corner and centre strips keep a gap to the screen's sides and bars;
// stretched strips lie against them.
ui::Rect stripFrame(const BannerBuild& build, StripPosition position, double width, double height) {
  using Span = StripPosition::Span;
  const double referenceWidth = build.reference.width;
  const double referenceHeight = build.reference.height;
  const bool stretched = position.span == Span::stretched;
  const double gap = stretched ? 0 : kControlGap;
  double x = 0;
  switch (position.span) {
    case Span::left:
      x = gap;
      break;
    case Span::right:
      x = referenceWidth - width - gap;
      break;
    case Span::centre:
      x = static_cast<double>(Util::centerPosition(static_cast<std::int64_t>(referenceWidth),
                                                   static_cast<std::int64_t>(width)));
      break;
    case Span::stretched:
      x = 0;
      break;
  }
  const double y = position.edge == StripPosition::Edge::top
                       ? build.insets.statusBar + build.insets.navigationBar + gap
                       : referenceHeight - height - build.insets.tabBar - gap;
  return ui::Rect::make(x, y, width, height);
}

// The strip starts just beyond the edge it belongs to, wholly off the
// reference area, and moves to its place. Its frame is in reference
// coordinates either way: in the overlay, or as the controller's own view.
void slideIn(const BannerBuild& build, ui::View& strip) {
  if (!build.kind.position) return;
  const ui::Rect place = strip.frame();
  ui::Rect start = place;
  start.origin.y = build.kind.position->edge == StripPosition::Edge::top ? -place.height()
                                                                         : build.reference.height;
  strip.setFrame(start);
  ui::animate(kSlideInSeconds, 0, ui::animationCurveEaseOut | ui::animationAllowUserInteraction,
              [&strip, place] { strip.setFrame(place); });
}

}  // namespace tavrino::banner
