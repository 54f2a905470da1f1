#pragma once

// What createBanner works with while it builds one banner, and the steps it
// hands to the other banner modules.

#include <memory>
#include <string>

#include "pop_up_kinds.hpp"
#include "pop_up_parameters.hpp"
#include "tavrino/banner/geometry.hpp"
#include "tavrino/banner/pop_up_controller.hpp"
#include "tavrino/ui/custom_button.hpp"

namespace tavrino::banner {

// The host's bars, in points.
struct HostInsets {
  double statusBar = 0;
  double navigationBar = 0;  // 0 outside a navigation controller
  double tabBar = 0;         // 0 outside a tab bar controller
};

struct BannerBuild {
  popUpController& controller;
  std::shared_ptr<ui::ViewController> host;
  const Value& params;
  std::string function;
  KindInfo kind;
  BannerParameters p;
  ui::Image image;
  ui::Size reference;
  StringMap client_map;
  HostInsets insets;
  Util::BannerGeometry geometry;
};

// Standard bar heights of the platform's navigation and tab bars.
inline constexpr double kNavigationBarHeight = 44;
inline constexpr double kTabBarHeight = 49;
// Controls are never less tall than this, and keep this gap between them.
inline constexpr double kMinimumControlHeight = 30;
inline constexpr double kControlGap = 10;
// Width of corner and centre strips.
inline constexpr double kStripWidth = 216;
inline constexpr double kSlideInSeconds = 0.4;

HostInsets measureHost(const std::shared_ptr<ui::ViewController>& host);

// Fills the container with the kind's content and sizes it; false when the
// kind has nothing to show.
bool buildContent(BannerBuild& build);

// Controls (pop_up_controls.cpp). Each returns the new view, already added
// to parent.
std::shared_ptr<ui::View> addTitle(BannerBuild& build, ui::View& parent, std::string_view html,
                                   const std::string& family, double size,
                                   const std::string& color);
std::shared_ptr<ui::customButton> addClickButton(BannerBuild& build, ui::View& parent);
std::shared_ptr<ui::Button> addOkButton(BannerBuild& build, ui::View& parent);
std::shared_ptr<ui::Button> addDismissButton(BannerBuild& build, ui::View& parent);
void addCloseButton(BannerBuild& build, ui::View& parent);
// Lays the title, subtitle (and, with buttons, the OK and dismiss buttons)
// top down in a column width wide starting at top; returns the bottom of
// the last one plus the gap.
double layoutTextStack(BannerBuild& build, ui::View& parent, double top, double width,
                       bool buttons);

// Web content (pop_up_web.cpp).
void addWebContent(BannerBuild& build, ui::View& parent, ui::Rect frame);
// The allowed-domain check before a document (empty domain) or page loads.
bool domainAllowed(std::string_view domain);
void addInlineFrame(BannerBuild& build);

// Strips (pop_up_strips.cpp).
ui::Rect stripFrame(const BannerBuild& build, StripPosition position, double width, double height);
void slideIn(const BannerBuild& build, ui::View& strip);

// Badge definitions (pop_up_badge.cpp).
void registerBadgeDefinition(const BannerBuild& build);

}  // namespace tavrino::banner
