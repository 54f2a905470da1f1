#pragma once

// The banner kinds a campaign's function code selects.

#include <optional>
#include <string_view>

namespace tavrino::banner {

enum class BannerKind {
  webBanner,     // "lbcs": the campaign's document in a pop-up
  webPage,       // "svc", "ajx": a remote page in a pop-up
  image,         // "img"
  imageText,     // "imgtxt": the image with the native controls
  nativeStrip,   // "tl" ... "bs"
  imageStrip,    // "ni" + position
  htmlStrip,     // "nh" + position
  compactStrip,  // "ns" + position
  inlineFrame,   // "aich"
  badge,         // the six badge codes
  scriptOnly,    // "cs", "csjq"
  unknown,
};

// Where a notification strip sits: the top or bottom edge, and left, right,
// centre or stretched over the whole width.
struct StripPosition {
  enum class Edge { top, bottom };
  enum class Span { left, right, centre, stretched };
  Edge edge = Edge::top;
  Span span = Span::centre;
  bool operator==(const StripPosition&) const = default;
};

struct KindInfo {
  BannerKind kind = BannerKind::unknown;
  std::optional<StripPosition> position;  // strips only
};

KindInfo classifyFunction(std::string_view function);

// The kinds that show the campaign's web document or page.
bool isWebKind(BannerKind kind);
bool isStrip(BannerKind kind);

}  // namespace tavrino::banner
