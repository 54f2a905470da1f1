// The in-app browser a click opens: a web view over the whole screen with a
// close button, loading the target only for an allowed domain.

#include <chrono>
#include <cmath>
#include <string_view>

#include "core/links/link_checks.hpp"
#include "pop_up_build.hpp"
#include "tavrino/banner/geometry.hpp"
#include "tavrino/banner/pop_up_controller.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/ui/font.hpp"

namespace tavrino {
namespace {

constexpr std::chrono::seconds kBrowserTimeout{10};
constexpr double kCloseButtonHeight = 33;
constexpr std::string_view kCloseTitle = "\u00D7";

std::shared_ptr<ui::Button> makeCloseButton(const ui::Rect& browserBounds) {
  const Constants constants;
  auto button = ui::Button::make();
  const ui::Font font =
      ui::Font::named(std::string(banner::kDefaultFontFamily), constants.closefontsize)
          .value_or(ui::Font::systemFont(constants.closefontsize));
  button->setTitle(std::string(kCloseTitle));
  button->setFont(font);
  button->setTitleColor(Util::hexToUIColor("8e8e8e"));
  button->setBackgroundColor(ui::Color::clear());
  button->setOpaque(false);
  const double width = std::trunc(ui::textWidth(kCloseTitle, font)) + constants.margin;
  button->setFrame(ui::Rect::make(browserBounds.width() - width - constants.margin,
                                  constants.margin, width, kCloseButtonHeight));
  return button;
}

}  // namespace

void popUpController::openInAppBrowser(const std::string& url) {
  auto self = std::static_pointer_cast<popUpController>(shared_from_this());
  const auto host = sender_view.lock();
  auto& overlay = *view();

  // The screen's bounds in the coordinates of the banner's view, which is
  // the screen for pop-ups and the strip itself for strips.
  ui::Rect frame = platform::current().screen().bounds();
  frame.origin.x -= overlay.frame().origin.x;
  frame.origin.y -= overlay.frame().origin.y;
  auto browser = ui::WebView::make(frame);
  browser->setNavigationDelegate(std::weak_ptr<ui::WebViewNavigationDelegate>(self));
  browser->setUserInteractionEnabled(true);
  inAppBrowser = browser;

  const double size = Constants().progressSize;
  const ui::Rect around = host ? host->view()->frame() : browser->bounds();
  actInd->setStyle(ui::ActivityIndicatorStyle::gray);
  actInd->setHidesWhenStopped(true);
  actInd->setFrame(ui::Rect::make(around.origin.x + around.width() / 2 - size / 2,
                                  around.origin.y + around.height() / 2 - size / 2, size, size));
  browser->addSubview(actInd);

  auto close = makeCloseButton(browser->bounds());
  close->addTarget(self, &popUpController::action);
  browser->addSubview(close);
  overlay.addSubview(browser);
  if (host && overlay.superview() != host->view()) host->view()->addSubview(view());

  // Other schemes could reach local files or whatever handler the web
  // engine has for them.
  const auto domain = links::webHost(url);
  if (!domain) {
    QivUtil::addLog("in-app browser link is not a plain http or https address : " + url);
    return;
  }
  if (!banner::domainAllowed(*domain)) {
    QivUtil::addLog("in-app browser domain not allowed : " + *domain);
    return;
  }
  if (!platform::current().urlSession().formsURL(url)) {
    QivUtil::addLog("in-app browser link is not a URL : " + url);
    return;
  }
  platform::URLRequest request;
  request.url = url;
  request.cachePolicy = platform::CachePolicy::returnCacheDataElseLoad;
  request.timeout = kBrowserTimeout;
  actInd->startAnimating();
  browser->load(request);
}

}  // namespace tavrino
