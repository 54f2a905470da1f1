// createBanner: from a campaign's parameter map to a banner over the host,
// step by step, each refusal a log line.

#include <exception>

#include "core/shared_configuration.hpp"
#include "pop_up_build.hpp"
#include "pop_up_repeat.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/ui/gesture_recognizer.hpp"

namespace tavrino {
namespace {

using banner::BannerBuild;
using banner::BannerKind;

// A page view's banner shows only while its page view is the current one;
// an "_execcounter" that is no number does not hold it back.
bool execCounterMatches(const StringMap& client_map) {
  const auto found = client_map.find("_execcounter");
  double captured = 0;
  if (found == client_map.end() || !parseNumber(found->second, &captured)) return true;
  return captured == static_cast<double>(processState().execcounter());
}

bool isHtmlStripOrWeb(std::string_view function, BannerKind kind) {
  return function == "lbcs" || function == "svc" || function == "aich" ||
         kind == BannerKind::htmlStrip;
}

// The overlay dims the host; the border goes round the banner itself.
void prepareOverlay(BannerBuild& b) {
  auto& view = *b.controller.view();
  view.setAccessibilityIdentifier("qiv_banner");
  view.setBackgroundColor(ui::Color{0, 0, 0, 0.7});
  view.setOpaque(false);
}

void applyBannerBorder(BannerBuild& b) {
  const auto& border = b.p.banner;
  if (!border.on || b.p.coc != "0" || isHtmlStripOrWeb(b.function, b.kind.kind)) return;
  auto& framed = b.p.isNotificationClass() ? *b.controller.view() : *b.controller.containerView;
  framed.setBorderColor(Util::hexToUIColor(border.color));
  framed.setBorderWidth(border.width);
  framed.setCornerRadius(border.radius);
  framed.setMasksToBounds(true);
}

// Notification classes are the banner alone; the others a full overlay
// with the banner inside.
void placeViews(BannerBuild& b) {
  auto& view = *b.controller.view();
  auto& container = *b.controller.containerView;
  if (b.p.isNotificationClass()) {
    const ui::Rect banner = container.frame();
    view.setFrame(banner);
    container.setFrame(ui::Rect::make(0, 0, banner.width(), banner.height()));
  } else {
    view.setFrame(ui::Rect::make(0, 0, b.reference.width, b.reference.height));
  }
  if (container.superview() != b.controller.view()) view.addSubview(b.controller.containerView);
}

void attach(BannerBuild& b) {
  if (!b.host || !b.controller.viewDidTop()) return;
  b.host->view()->addSubview(b.controller.view());
  b.host->addChild(std::static_pointer_cast<ui::ViewController>(b.controller.shared_from_this()));
}

void build(popUpController& controller, const std::shared_ptr<ui::ViewController>& host,
           const ui::Image& image, const Value& params, std::string_view function, ui::Size size,
           const StringMap& client_map) {
  QivUtil::addLog("create banner called.");
  if (!execCounterMatches(client_map)) {
    QivUtil::addLog("create banner execcount did not match");
    return;
  }
  if (controller.weak_from_this().expired()) {
    QivUtil::addLog("create banner called. The banner controller is not shared.");
    return;
  }
  const Value empty = Value::object();
  BannerBuild b{controller,
                host,
                params.is_object() ? params : empty,
                std::string(function),
                banner::classifyFunction(function),
                banner::readBannerParameters(params),
                image,
                size,
                client_map,
                {},
                {}};
  controller.sender_customArray = b.params;
  controller.sender_view = host;
  controller.sender_viewClassName = host ? host->className() : std::string();
  controller.sender_client_map = client_map;
  controller.parameters = b.params;
  controller.activityImage = image;
  if (b.kind.kind == BannerKind::htmlStrip) {
    controller.banner_category = "notification html";
    controller.close_outside_click = b.p.coc;
  }

  b.insets = banner::measureHost(host);
  const Util::BannerFrame frame = Util::bannerFrame(b.params, image.size(), size);
  if (!frame) {
    QivUtil::addLog(frame.refusal);
    return;
  }
  b.geometry = *frame.geometry;

  controller.viewDidLoad();
  prepareOverlay(b);
  if (b.p.coc == "1") {
    auto tap = ui::TapGestureRecognizer::make();
    tap->addTarget(std::static_pointer_cast<popUpController>(controller.shared_from_this()),
                   &popUpController::targetCoc);
    controller.view()->addGestureRecognizer(tap);
  }
  if (const auto parent = controller.parent(); parent && parent != host) {
    QivUtil::addLog("create banner popOver parent and current viewcontroller different.return.");
    return;
  }
  if (b.kind.kind == BannerKind::badge && b.p.bc == "badge") {
    QivUtil::addLog("badge banner called");
    banner::registerBadgeDefinition(b);
    return;
  }
  if (b.kind.kind == BannerKind::scriptOnly) return;
  if (b.kind.kind == BannerKind::unknown || b.kind.kind == BannerKind::badge) {
    QivUtil::addLog("create banner called. Unknown banner function : " + b.function);
    return;
  }

  if (banner::buildContent(b)) {
    placeViews(b);
    applyBannerBorder(b);
    if (banner::isStrip(b.kind.kind)) {
      banner::slideIn(b,
                      b.p.isNotificationClass() ? *controller.view() : *controller.containerView);
    }
    attach(b);
  }
  if (b.kind.kind == BannerKind::inlineFrame || !b.p.slc.empty()) banner::addInlineFrame(b);
  banner::repeatCustomEvent(b.params, host, client_map);
}

}  // namespace

void popUpController::createBanner(const std::shared_ptr<ui::ViewController>& view,
                                   const ui::Image& image, const Value& params,
                                   std::string_view function, ui::Size size,
                                   const StringMap& client_map) {
  try {
    build(*this, view, image, params, function, size, client_map);
  } catch (const std::exception& e) {
    QivUtil::addLog(std::string("create banner failed : ") + e.what());
  } catch (...) {
    QivUtil::addLog("create banner failed");
  }
}

}  // namespace tavrino
