// The request URL: base, endpoint path by request type, query.

#include <string>

#include "core/request/percent_encoding.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::Util {
namespace {

// The stored base as a URL prefix that ends in "/". A host-supplied base is
// encoded so that a blank or a line break in it can never split the request
// line or inject a header.
std::string baseUrl() {
  std::string base = readDefault("_cburl");
  if (base.starts_with("//")) base.insert(0, "https:");
  if (!base.ends_with('/')) base += '/';
  return request::encodeBaseUrl(base);
}

// The endpoint path, and the fixed pairs that come before the query.
std::string endpointFor(std::string_view type) {
  if (type == "standart") return "d?";
  if (type == "track") return "t?";
  if (type == "push") {
    std::string path = "u?" + encodeForUrl("token", "1") + encodeForUrl("publickey", "1");
    const std::string token = readDefault("qiv_token");
    if (!token.empty()) path += encodeForUrl("endpoint", token) + encodeForUrl("qivsubstype", "3");
    return path;
  }
  if (type == "message") return "pn/gm.php?";
  if (type == "pushpreview") return "platform/sendnot.php?" + encodeForUrl("qivsubstype", "3");
  if (type == "inboxlist") return "appinboxcat?";
  if (type == "settings") return "cmpdata?";
  return "";
}

}  // namespace

std::string createRequest(std::string_view type, const StringMap& receivedMap) {
  std::string url = baseUrl();
  if (type == "log") {
    // The log upload carries only its own parameters.
    url += "jsonlog?" + createLink(receivedMap);
  } else {
    url += endpointFor(type) + createURLSuffix(receivedMap);
  }
  QivUtil::addLog("create request called with : " + QivUtil::mapToString(receivedMap));
  return url;
}

std::string createURLSuffix(const StringMap& custom) {
  StringMap merged = mergeMaps(custom, createLocalVariable());
  merged["s"] = readDefault("_s");  // the stored company id always wins
  std::string result = createLink(merged) + createLinkForUserDefaults() + _getaitemtext();
  QivUtil::addLog("createURLSuffix return --> " + result);
  return result;
}

}  // namespace tavrino::Util
