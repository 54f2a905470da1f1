// The native controls of a banner: title and subtitle made from HTML, the
// OK, dismiss and close buttons, and the buttons that lead to a click.

#include <algorithm>
#include <optional>

#include "pop_up_build.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/ui/custom_button.hpp"
#include "tavrino/ui/text_view.hpp"

namespace tavrino::banner {
namespace {

ui::Font fontOrSystem(const std::string& family, double size) {
  if (auto font = ui::Font::named(family, size)) return *font;
  return ui::Font::systemFont(size);
}

void applyBorder(ui::View& view, const BorderParameters& border) {
  if (!border.on) return;
  view.setBorderColor(Util::hexToUIColor(border.color));
  view.setBorderWidth(border.width);
  view.setCornerRadius(border.radius);
  view.setMasksToBounds(true);
}

std::shared_ptr<popUpController> shared(popUpController& controller) {
  return std::static_pointer_cast<popUpController>(controller.shared_from_this());
}

double fittedHeight(const ui::View& view, double width) {
  return std::max(kMinimumControlHeight, view.sizeThatFits({width, 0}).height);
}

// Loads the close button's image off the main thread and shows it at the
// button's size once it arrives.
void loadCloseImage(const std::shared_ptr<ui::Button>& button, const std::string& url) {
  auto& platform = platform::current();
  if (!platform.urlSession().formsURL(url)) {
    QivUtil::addLog("create banner close button image is not a URL : " + url);
    return;
  }
  platform::URLRequest request;
  request.url = url;
  request.timeout = std::chrono::seconds(10);
  std::weak_ptr<ui::Button> weak = button;
  platform.urlSession().dataTask(
      std::move(request),
      [weak](std::optional<Data> data, std::optional<platform::URLResponse> response,
             std::optional<platform::URLError>) {
        if (!data || data->empty() || !response || response->statusCode >= 400) return;
        platform::current().dispatch().mainAsync([weak, bytes = std::move(*data)]() mutable {
          auto target = weak.lock();
          if (!target) return;
          const ui::Size size = target->frame().size;
          target->setImage(ui::Image(size.width, size.height, std::move(bytes)));
        });
      });
}

}  // namespace

std::shared_ptr<ui::View> addTitle(BannerBuild&, ui::View& parent, std::string_view html,
                                   const std::string& family, double size,
                                   const std::string& color) {
  auto text = ui::TextView::make();
  text->setAttributedText(ui::AttributedText::fromHTML("<style>body{font-family:'" + family +
                                                       "' ; font-size:" + describe(Value(size)) +
                                                       "px;}</style>" + std::string(html)));
  text->setEditable(false);
  text->setSelectable(false);
  text->setUserInteractionEnabled(false);
  text->setScrollEnabled(false);
  text->setTextAlignment(ui::TextAlignment::center);
  text->setTextColor(Util::hexToUIColor(color));
  parent.addSubview(text);
  return text;
}

std::shared_ptr<ui::customButton> addClickButton(BannerBuild& build, ui::View& parent) {
  auto button = ui::customButton::make();
  button->customArray = build.controller.sender_customArray;
  button->view = build.host;
  button->viewClassName = build.controller.sender_viewClassName;
  button->client_map = build.client_map;
  button->addTarget(shared(build.controller), &popUpController::setClickCookie);
  parent.addSubview(button);
  return button;
}

std::shared_ptr<ui::Button> addOkButton(BannerBuild& build, ui::View& parent) {
  auto button = addClickButton(build, parent);
  button->setTitle(build.p.btx);
  button->setFont(fontOrSystem(build.p.bff, build.p.bfs));
  button->setTitleColor(Util::hexToUIColor(build.p.bfc));
  button->setBackgroundColor(Util::hexToUIColor(build.p.bbgc));
  applyBorder(*button, build.p.okButton);
  return button;
}

std::shared_ptr<ui::Button> addDismissButton(BannerBuild& build, ui::View& parent) {
  auto button = ui::Button::make();
  button->setTitle(build.p.xtx);
  button->setFont(fontOrSystem(kDefaultFontFamily, build.p.xfs));
  button->setTitleColor(Util::hexToUIColor(build.p.xfc));
  button->setBackgroundColor(Util::hexToUIColor(build.p.xbgc));
  applyBorder(*button, build.p.dismissButton);
  button->addTarget(shared(build.controller), &popUpController::action);
  parent.addSubview(button);
  return button;
}

void addCloseButton(BannerBuild& build, ui::View& parent) {
  const BannerParameters& p = build.p;
  if (!p.closeButton) return;
  auto button = ui::Button::make();
  button->setAccessibilityIdentifier("qiv_close");
  button->setTitle(p.cBtnImg.empty() ? p.cBtnTxt : std::string());
  button->setFont(fontOrSystem(kDefaultFontFamily, p.cBtnfs));
  button->setTitleColor(Util::hexToUIColor(p.cBtnClr));
  applyBorder(*button, p.closeBorder);
  // A size of 0 takes the least a finger can hit; the offsets count from the
  // top-right corner unless a left or bottom offset is given.
  const double width = p.cBtnW > 0 ? p.cBtnW : kMinimumControlHeight;
  const double height = p.cBtnH > 0 ? p.cBtnH : kMinimumControlHeight;
  const ui::Rect bounds = parent.bounds();
  const double x = p.cBtnLeft > 0 ? p.cBtnLeft : bounds.width() - width - p.cBtnRight;
  const double y = p.cBtnBottom > 0 ? bounds.height() - height - p.cBtnBottom : p.cBtnTop;
  button->setFrame(ui::Rect::make(x, y, width, height));
  button->addTarget(shared(build.controller), &popUpController::action);
  parent.addSubview(button);
  if (!p.cBtnImg.empty()) loadCloseImage(button, p.cBtnImg);
}

double layoutTextStack(BannerBuild& build, ui::View& parent, double top, double width,
                       bool buttons) {
  const BannerParameters& p = build.p;
  const double inner = std::max(0.0, width - 2 * kControlGap);
  double y = top + kControlGap;
  auto place = [&](ui::View& view) {
    const double height = fittedHeight(view, inner);
    view.setFrame(ui::Rect::make(kControlGap, y, inner, height));
    y += height + kControlGap;
  };
  if (!p.cap.empty()) place(*addTitle(build, parent, p.cap, p.cff, p.cfs, p.cfc));
  if (!p.sub.empty()) place(*addTitle(build, parent, p.sub, p.sff, p.sfs, p.sfc));
  if (!buttons) return y;

  std::vector<std::shared_ptr<ui::Button>> row;
  if (!p.btx.empty()) row.push_back(addOkButton(build, parent));
  if (!p.xtx.empty()) row.push_back(addDismissButton(build, parent));
  if (row.empty()) return y;
  const double count = static_cast<double>(row.size());
  const double each = std::max(0.0, (inner - (count - 1) * kControlGap) / count);
  double height = kMinimumControlHeight;
  for (const auto& button : row) height = std::max(height, fittedHeight(*button, each));
  double x = kControlGap;
  for (const auto& button : row) {
    button->setFrame(ui::Rect::make(x, y, each, height));
    x += each + kControlGap;
  }
  return y + height + kControlGap;
}

}  // namespace tavrino::banner
