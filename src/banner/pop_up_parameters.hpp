#pragma once

// The banner parameters createBanner reads, with their defaults, read once
// with the text-value rule.

#include <string>

#include "tavrino/value.hpp"

namespace tavrino::banner {

// A border drawn when on is "1".
struct BorderParameters {
  bool on = false;
  std::string color;
  double width = 0;
  double radius = 0;
};

struct BannerParameters {
  std::string zbid, img, c10, bgc, ccc, cap, sub, btx, xtx, bc;
  std::string cfc, sfc, bfc, xfc;             // title, subtitle, OK and dismiss text colours
  double cfs = 0, sfs = 0, bfs = 0, xfs = 0;  // their font sizes in points
  std::string cff, sff, bff;                  // font families, never empty
  bool closeButton = true;                    // "cBtn"
  double cBtnW = 0, cBtnH = 0;
  std::string cBtnClr, cBtnImg, cBtnTxt;
  double cBtnTop = 0, cBtnRight = 0, cBtnLeft = 0, cBtnBottom = 0, cBtnfs = 0;
  std::string coc;
  std::string xbgc, bbgc;
  std::string slc;
  std::string dynamicIdentifier;  // from "qivdyn@<identifier>" in "slc"
  BorderParameters banner, okButton, dismissButton, closeBorder;
  std::string btype, bstatus, bcontent;
  std::string shEvn, evn;
  std::string bo;

  // The classes whose banner is the strip itself, without an overlay.
  bool isNotificationClass() const { return bc == "nt" || bc == "ntimg" || bc == "nts"; }
};

inline constexpr const char* kDefaultFontFamily = "Helvetica Neue";

BannerParameters readBannerParameters(const Value& params);

// A point size from a text with or without "px"; fallback when it is no
// finite, non-negative number.
double pointSize(std::string_view text, double fallback);

}  // namespace tavrino::banner
