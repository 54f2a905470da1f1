// Web content of banners: the campaign's document or a remote page in a web
// view, in the pop-up, a strip or an inline frame of the host, each loaded
// only for an allowed domain.

#include <optional>

#include "core/links/link_checks.hpp"
#include "core/shared_configuration.hpp"
#include "pop_up_build.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/invocation.hpp"
#include "tavrino/util/view_lookup.hpp"

namespace tavrino::banner {
namespace {

std::weak_ptr<ui::WebViewNavigationDelegate> delegateOf(popUpController& controller) {
  return std::static_pointer_cast<popUpController>(controller.shared_from_this());
}

// Loads the campaign's document, when the empty domain is allowed.
void loadDocument(ui::WebView& web, const Value& params) {
  if (!domainAllowed("")) {
    QivUtil::addLog("create banner domain not allowed : ");
    return;
  }
  web.loadHTMLString(popUpController::createHTMLContent(params), std::nullopt);
}

void loadPage(ui::WebView& web, const std::string& url) {
  // Pages are web pages: other schemes could run script or reach local
  // content.
  const auto host = links::webHost(url);
  if (!host) {
    QivUtil::addLog("create banner page is not a plain http or https address : " + url);
    return;
  }
  if (!domainAllowed(*host)) {
    QivUtil::addLog("create banner domain not allowed : " + *host);
    return;
  }
  if (!platform::current().urlSession().formsURL(url)) {
    QivUtil::addLog("create banner page is not a URL : " + url);
    return;
  }
  platform::URLRequest request;
  request.url = url;
  web.load(request);
}

}  // namespace

bool domainAllowed(std::string_view domain) {
  const auto allowed = processState().withConfig(
      [](SharedConfiguration& c) { return c.allowedDomains.value_or(std::vector<std::string>{}); });
  return Util::isAllowedDomain(allowed, domain);
}

void addWebContent(BannerBuild& build, ui::View& parent, ui::Rect frame) {
  auto web = ui::WebView::make(frame);
  web->setNavigationDelegate(delegateOf(build.controller));
  parent.addSubview(web);
  build.controller.webView = web;

  const double size = Constants().progressSize;
  auto& spinner = build.controller.actInd;
  spinner->setStyle(ui::ActivityIndicatorStyle::gray);
  spinner->setHidesWhenStopped(true);
  spinner->setFrame(ui::Rect::make(
      static_cast<double>(Util::centerPosition(static_cast<std::int64_t>(frame.width()),
                                               static_cast<std::int64_t>(size))),
      frame.height() / 2, size, size));
  web->addSubview(spinner);
  spinner->startAnimating();

  if (build.kind.kind == BannerKind::webPage) {
    loadPage(*web, build.p.c10);
  } else {
    loadDocument(*web, build.params);
  }
}

void addInlineFrame(BannerBuild& build) {
  const BannerParameters& p = build.p;
  const std::string& identifier = p.dynamicIdentifier.empty() ? p.slc : p.dynamicIdentifier;
  std::shared_ptr<ui::View> found;
  if (build.host) found = Util::returnViewByIdentifier(build.host->view(), identifier);
  if (!found || identifier.empty() || found->restorationIdentifier() != identifier) {
    QivUtil::addLog("create banner called. Inline frame did not found.");
    return;
  }
  // A frame that already shows the document keeps the controller that put it
  // there: adopting one more per event would only pile up idle children.
  const std::string webIdentifier = "qivWebView_" + p.slc;
  if (Util::hasSubViewWithIdentifier(found, webIdentifier)) return;
  auto web = ui::WebView::make(found->bounds());
  web->setNavigationDelegate(delegateOf(build.controller));
  loadDocument(*web, build.params);
  web->setRestorationIdentifier(webIdentifier);
  web->setScrollEnabled(false);
  web->setBounces(false);
  found->addSubview(web);
  build.controller.inlineWebView = web;
  if (build.controller.parent() != build.host) {
    build.host->addChild(
        std::static_pointer_cast<ui::ViewController>(build.controller.shared_from_this()));
  }
}

}  // namespace tavrino::banner
