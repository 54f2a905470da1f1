#include "pop_up_kinds.hpp"

#include <array>

namespace tavrino::banner {
namespace {

// Two position letters: t or b, then l, r, c or s.
std::optional<StripPosition> parsePosition(std::string_view letters) {
  if (letters.size() != 2) return std::nullopt;
  StripPosition position;
  switch (letters[0]) {
    case 't':
      position.edge = StripPosition::Edge::top;
      break;
    case 'b':
      position.edge = StripPosition::Edge::bottom;
      break;
    default:
      return std::nullopt;
  }
  switch (letters[1]) {
    case 'l':
      position.span = StripPosition::Span::left;
      break;
    case 'r':
      position.span = StripPosition::Span::right;
      break;
    case 'c':
      position.span = StripPosition::Span::centre;
      break;
    case 's':
      position.span = StripPosition::Span::stretched;
      break;
    default:
      return std::nullopt;
  }
  return position;
}

constexpr std::array<std::string_view, 6> kBadgeCodes = {"bdgai", "bdgat", "bdgah",
                                                         "bdgdi", "bdgdt", "bdgdh"};

}  // namespace

KindInfo classifyFunction(std::string_view function) {
  if (function == "lbcs") return {BannerKind::webBanner, std::nullopt};
  if (function == "svc" || function == "ajx") return {BannerKind::webPage, std::nullopt};
  if (function == "img") return {BannerKind::image, std::nullopt};
  if (function == "imgtxt") return {BannerKind::imageText, std::nullopt};
  if (function == "aich") return {BannerKind::inlineFrame, std::nullopt};
  if (function == "cs" || function == "csjq") return {BannerKind::scriptOnly, std::nullopt};
  for (const auto code : kBadgeCodes) {
    if (function == code) return {BannerKind::badge, std::nullopt};
  }
  if (auto position = parsePosition(function)) return {BannerKind::nativeStrip, position};
  if (function.size() == 4) {
    const auto prefix = function.substr(0, 2);
    const auto position = parsePosition(function.substr(2));
    if (position) {
      if (prefix == "ni") return {BannerKind::imageStrip, position};
      if (prefix == "nh") return {BannerKind::htmlStrip, position};
      if (prefix == "ns") return {BannerKind::compactStrip, position};
    }
  }
  return {};
}

bool isWebKind(BannerKind kind) {
  return kind == BannerKind::webBanner || kind == BannerKind::webPage ||
         kind == BannerKind::htmlStrip;
}

bool isStrip(BannerKind kind) {
  return kind == BannerKind::nativeStrip || kind == BannerKind::imageStrip ||
         kind == BannerKind::htmlStrip || kind == BannerKind::compactStrip;
}

}  // namespace tavrino::banner
