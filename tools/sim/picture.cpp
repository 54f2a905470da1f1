#include "sim/picture.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace tavrino::sim {
namespace {

// Deeper trees are drawn down to here; no screen is anywhere near it.
constexpr int kMaxDepth = 200;

std::string px(double value) {
  std::ostringstream out;
  out << (std::isfinite(value) ? std::round(value * 100) / 100 : 0) << "px";
  return out.str();
}

std::string css(const ui::Color& c) {
  const auto channel = [](double v) {
    return std::to_string(std::lround(std::clamp(std::isfinite(v) ? v : 0, 0.0, 1.0) * 255));
  };
  std::ostringstream alpha;
  alpha << std::clamp(std::isfinite(c.alpha) ? c.alpha : 0, 0.0, 1.0);
  return "rgba(" + channel(c.red) + "," + channel(c.green) + "," + channel(c.blue) + "," +
         alpha.str() + ")";
}

std::string fontFamily(const std::string& family) {
  if (family.empty() || family.front() == '.') return "'DejaVu Sans', sans-serif";
  return "'" + escapeHtml(family) + "', 'DejaVu Sans', sans-serif";
}

std::string boxStyle(const MirrorNode& node, bool isRoot) {
  std::string style;
  if (!isRoot) {
    style += "left:" + px(node.frame.origin.x) + ";top:" + px(node.frame.origin.y) + ";";
  }
  style += "width:" + px(node.frame.width()) + ";height:" + px(node.frame.height()) + ";";
  if (node.background) style += "background:" + css(*node.background) + ";";
  if (node.alpha < 1) style += "opacity:" + std::to_string(std::max(0.0, node.alpha)) + ";";
  if (node.hidden) style += "display:none;";
  if (node.borderWidth > 0 && node.borderColor) {
    style += "border:" + px(node.borderWidth) + " solid " + css(*node.borderColor) + ";";
  }
  if (node.cornerRadius > 0) style += "border-radius:" + px(node.cornerRadius) + ";";
  if (node.masksToBounds) style += "overflow:hidden;";
  return style;
}

std::string textStyle(const MirrorNode& node, const char* defaultColour) {
  std::string style = "font-family:" + fontFamily(node.fontFamily) + ";";
  if (node.fontSize > 0) style += "font-size:" + px(node.fontSize) + ";";
  style += "color:" + (node.textColor ? css(*node.textColor) : std::string(defaultColour)) + ";";
  if (!node.alignment.empty()) style += "text-align:" + node.alignment + ";";
  return style;
}

// What the widget itself draws inside its box.
std::string widgetContent(const MirrorNode& node) {
  if (node.kind == "Button") {
    std::string inner;
    if (node.imageBytes && !node.imageBytes->empty()) {
      inner += "<img alt=\"\" src=\"data:image/png;base64," + base64(*node.imageBytes) + "\">";
    }
    if (!node.title.empty()) {
      inner += "<span style=\"" + textStyle(node, "#007aff") + "\">" + escapeHtml(node.title) +
               "</span>";
    }
    return inner;
  }
  if (node.kind == "TextView") {
    return "<div class=\"text\" style=\"" + textStyle(node, "#000") + "\">" +
           escapeHtml(node.text) + "</div>";
  }
  if (node.kind == "ActivityIndicator") {
    return node.spinning ? "<div class=\"spinner\"></div>" : "";
  }
  if (node.kind == "WebView") {
    if (!node.webHtml.empty()) {
      std::string document = node.webHtml;
      if (node.webBaseUrl)
        document = "<base href=\"" + escapeHtml(*node.webBaseUrl) + "\">" + document;
      return "<iframe sandbox=\"allow-scripts\" srcdoc=\"" + escapeHtml(document) + "\"></iframe>";
    }
    if (node.webUrl.starts_with("http://") || node.webUrl.starts_with("https://")) {
      return "<iframe sandbox=\"allow-scripts\" src=\"" + escapeHtml(node.webUrl) + "\"></iframe>";
    }
    if (!node.webUrl.empty()) {
      return "<div class=\"address\">" + escapeHtml(node.webUrl) + "</div>";
    }
  }
  return "";
}

void drawNode(const Mirror& mirror, const MirrorNode& node, int depth, std::string& out) {
  const bool isRoot = node.id == mirror.rootId();
  out +=
      "<div class=\"v " + escapeHtml(node.kind) + "\" data-kind=\"" + escapeHtml(node.kind) + "\"";
  if (!node.accessibilityId.empty()) out += " data-id=\"" + escapeHtml(node.accessibilityId) + "\"";
  if (!node.restorationId.empty()) {
    out += " data-restoration=\"" + escapeHtml(node.restorationId) + "\"";
  }
  out += " style=\"" + boxStyle(node, isRoot) + "\">";
  out += widgetContent(node);
  if (depth < kMaxDepth) {
    for (const auto child : node.children) {
      if (const MirrorNode* c = mirror.find(child)) drawNode(mirror, *c, depth + 1, out);
    }
  }
  out += "</div>\n";
}

constexpr const char* kStyle = R"(
html, body { margin: 0; padding: 0; background: #fff; }
.v { position: absolute; box-sizing: border-box; }
.v.Window { position: relative; overflow: hidden; background: #fff; }
.v.Button { display: flex; align-items: center; justify-content: center; }
.v.Button img { position: absolute; left: 0; top: 0; width: 100%; height: 100%; object-fit: fill; }
.v.Button span { position: relative; padding: 0 6px; text-align: center; }
.v.TextView .text { white-space: pre-wrap; padding: 8px 5px; overflow: hidden; height: 100%;
  box-sizing: border-box; }
.v.WebView iframe { border: 0; width: 100%; height: 100%; display: block; background: #fff; }
.v.WebView .address { font: 11px monospace; padding: 4px; color: #555; word-break: break-all; }
.spinner { position: absolute; left: 50%; top: 50%; width: 20px; height: 20px; margin: -12px;
  border: 2px solid #999; border-top-color: transparent; border-radius: 50%; }
)";

}  // namespace

std::string escapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string base64(const Data& bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::uint32_t n = (std::uint32_t{bytes[i]} << 16) |
                            (i + 1 < bytes.size() ? std::uint32_t{bytes[i + 1]} << 8 : 0) |
                            (i + 2 < bytes.size() ? std::uint32_t{bytes[i + 2]} : 0);
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[n & 63] : '=';
  }
  return out;
}

std::string pictureHtml(const Mirror& mirror, const std::string& caption) {
  std::string out = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n<title>" +
                    escapeHtml(caption) + "</title>\n<style>" + kStyle +
                    "</style></head>\n<body>\n";
  if (const MirrorNode* root = mirror.find(mirror.rootId())) drawNode(mirror, *root, 0, out);
  out += "</body></html>\n";
  return out;
}

}  // namespace tavrino::sim
