#include "pop_up_parameters.hpp"

#include <cmath>

#include "tavrino/banner/geometry.hpp"
#include "tavrino/util/json_helpers.hpp"

namespace tavrino::banner {
namespace {

std::string text(const Value& params, std::string_view key, std::string_view fallback) {
  return Util::tryCatch(params, key, fallback);
}

double size(const Value& params, std::string_view key, std::string_view fallback) {
  const double preset = pointSize(fallback, 0);
  return pointSize(text(params, key, fallback), preset);
}

std::string family(const Value& params, std::string_view key) {
  return text(params, key, kDefaultFontFamily);
}

BorderParameters border(const Value& params, std::string_view prefix, std::string_view on,
                        std::string_view color, std::string_view width, std::string_view radius) {
  const std::string p(prefix);
  return BorderParameters{text(params, p, on) == "1", text(params, p + "clr", color),
                          size(params, p + "st", width), size(params, p + "rd", radius)};
}

}  // namespace

double pointSize(std::string_view value, double fallback) {
  double parsed = 0;
  if (!parseNumber(Util::removePx(value), &parsed) || !std::isfinite(parsed) || parsed < 0) {
    return fallback;
  }
  return parsed;
}

BannerParameters readBannerParameters(const Value& params) {
  BannerParameters p;
  p.zbid = text(params, "zbid", "0");
  p.img = text(params, "img", "");
  p.c10 = text(params, "c10", "");
  p.bgc = text(params, "bgc", "#6666FF");
  p.ccc = text(params, "ccc", "0");
  p.cap = text(params, "cap", "");
  p.sub = text(params, "sub", "");
  p.btx = text(params, "btx", "");
  p.xtx = text(params, "xtx", "");
  p.bc = text(params, "bc", "");
  p.cfc = text(params, "cfc", "#FFFFFF");
  p.sfc = text(params, "sfc", "#FFFFFF");
  p.bfc = text(params, "bfc", "#000000");
  p.xfc = text(params, "xfc", "#b3a5a5");
  const bool small = p.isNotificationClass();
  p.cfs = size(params, "cfs", small ? "15px" : "35px");
  p.sfs = size(params, "sfs", small ? "12px" : "21px");
  p.bfs = size(params, "bfs", small ? "12px" : "16px");
  p.xfs = size(params, "xfs", small ? "12px" : "16px");
  p.cff = family(params, "cff");
  p.sff = family(params, "sff");
  p.bff = family(params, "bff");
  p.closeButton = text(params, "cBtn", "1") == "1";
  p.cBtnW = size(params, "cBtnW", "0");
  p.cBtnH = size(params, "cBtnH", "0");
  p.cBtnClr = text(params, "cBtnClr", "#ffffff");
  p.cBtnImg = text(params, "cBtnImg", "");
  if (p.cBtnImg.starts_with("//")) p.cBtnImg = "https:" + p.cBtnImg;
  p.cBtnTop = size(params, "cBtnTop", "0");
  p.cBtnRight = size(params, "cBtnRight", "0");
  p.cBtnLeft = size(params, "cBtnLeft", "0");
  p.cBtnBottom = size(params, "cBtnBottom", "0");
  p.coc = text(params, "coc", "1");
  p.xbgc = text(params, "xbgc", "#FFFFFF");
  p.bbgc = text(params, "bbgc", "#FFFFFF");
  p.slc = text(params, "slc", "");
  if (p.slc.starts_with("qivdyn@")) {
    const auto at = p.slc.find('@');
    const auto end = p.slc.find('@', at + 1);
    p.dynamicIdentifier = p.slc.substr(at + 1, end == std::string::npos ? end : end - at - 1);
  }
  p.banner = border(params, "bbr", "0", "#ffffff", "0px", "3px");
  p.okButton = border(params, "okBtnbr", "1", "#fefefe", "1px", "8px");
  p.dismissButton = border(params, "xBtnbr", "1", "#fefefe", "1px", "8px");
  p.closeBorder = border(params, "cBtnbr", "0", "#ffffff", "0px", "0px");
  p.cBtnTxt = text(params, "cBtnTxt", "\u00d7");
  p.cBtnfs = size(params, "cBtnfs", "25px");
  p.btype = text(params, "btype", "");
  p.bstatus = text(params, "bstatus", "0");
  p.bcontent = text(params, "bcontent", "0");
  p.shEvn = text(params, "shEvn", "PAGEVIEW");
  p.evn = text(params, "evn", "");
  p.bo = text(params, "bo", "{}");
  return p;
}

}  // namespace tavrino::banner
