// What each banner kind shows inside its container, and where.

#include <algorithm>

#include "pop_up_build.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/ui/custom_button.hpp"

namespace tavrino::banner {
namespace {

using Span = StripPosition::Span;

double stripWidth(const BannerBuild& build) {
  return build.kind.position->span == Span::stretched ? build.reference.width : kStripWidth;
}

// "fs" and "fp" web banners fill the main screen, less the bars they keep.
ui::Rect fullScreenFrame(const BannerBuild& build) {
  ui::Rect frame = platform::current().screen().bounds();
  double top = 0;
  double bottom = 0;
  if (build.p.bstatus == "1") top += build.insets.statusBar;
  if (build.p.bcontent == "1") {
    top += build.insets.navigationBar;
    bottom += build.insets.tabBar;
  }
  frame.origin.y += top;
  frame.size.height = std::max(0.0, frame.height() - top - bottom);
  return frame;
}

// A click button showing the banner image over the whole of parent.
void addImageButton(BannerBuild& build, ui::View& parent, ui::Rect frame) {
  auto button = addClickButton(build, parent);
  button->setImage(build.image);
  button->setFrame(frame);
}

// Title, subtitle, optional image on top, and the OK and dismiss buttons.
void buildNativeStrip(BannerBuild& build, ui::View& container) {
  const double width = stripWidth(build);
  double top = 0;
  if (!build.image.isEmpty()) {
    const double inner = std::max(0.0, width - 2 * kControlGap);
    const double height = inner * build.image.height() / build.image.width();
    addImageButton(build, container, ui::Rect::make(kControlGap, kControlGap, inner, height));
    top = kControlGap + height;
  }
  const double bottom = layoutTextStack(build, container, top, width, true);
  container.setFrame(stripFrame(build, *build.kind.position, width,
                                std::max(bottom, kMinimumControlHeight + 2 * kControlGap)));
}

// Title and subtitle over one click button that covers the strip.
void buildCompactStrip(BannerBuild& build, ui::View& container) {
  const double width = stripWidth(build);
  auto button = addClickButton(build, container);
  const double bottom = layoutTextStack(build, container, 0, width, false);
  const double height = std::max(bottom, kMinimumControlHeight + 2 * kControlGap);
  button->setFrame(ui::Rect::make(0, 0, width, height));
  container.setFrame(stripFrame(build, *build.kind.position, width, height));
}

}  // namespace

bool buildContent(BannerBuild& build) {
  auto& container = *build.controller.containerView;
  const ui::Rect centred = build.geometry.frame;
  const double fittedWidth = static_cast<double>(build.geometry.metrics.width);
  const double fittedHeight = static_cast<double>(build.geometry.metrics.height);
  switch (build.kind.kind) {
    case BannerKind::webBanner:
    case BannerKind::webPage:
      container.setFrame(build.p.btype == "fs" || build.p.btype == "fp" ? fullScreenFrame(build)
                                                                        : centred);
      addWebContent(build, container, container.bounds());
      break;
    case BannerKind::image:
      container.setFrame(centred);
      addImageButton(build, container, container.bounds());
      break;
    case BannerKind::imageText:
      container.setFrame(centred);
      addImageButton(build, container, container.bounds());
      layoutTextStack(build, container, 0, centred.width(), true);
      break;
    case BannerKind::nativeStrip:
      container.setBackgroundColor(Util::hexToUIColor(build.p.bgc));
      buildNativeStrip(build, container);
      break;
    case BannerKind::compactStrip:
      container.setBackgroundColor(Util::hexToUIColor(build.p.bgc));
      buildCompactStrip(build, container);
      break;
    case BannerKind::imageStrip: {
      const bool stretched = build.kind.position->span == Span::stretched;
      const double width = stretched ? build.reference.width : fittedWidth;
      container.setFrame(stripFrame(build, *build.kind.position, width, fittedHeight));
      addImageButton(build, container, container.bounds());
      break;
    }
    case BannerKind::htmlStrip:
      container.setFrame(stripFrame(build, *build.kind.position, stripWidth(build), fittedHeight));
      addWebContent(build, container, container.bounds());
      break;
    case BannerKind::inlineFrame:
    case BannerKind::badge:
    case BannerKind::scriptOnly:
    case BannerKind::unknown:
      return false;
  }
  addCloseButton(build, container);
  return true;
}

}  // namespace tavrino::banner
