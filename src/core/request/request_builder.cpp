// The request URL: base, endpoint path by request type, query. The URL is
// written into one string: one walk of the store, no map copies.

#include <atomic>
#include <string>

#include "core/request/percent_encoding.hpp"
#include "core/request/request_parts.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::Util {
namespace {

// The stored base as a URL prefix that ends in "/". A host-supplied base is
// encoded so that a blank or a line break in it can never split the request
// line or inject a header.
void appendBaseUrl(std::string& url, std::string_view base) {
  if (base.starts_with("//")) url += "https:";
  request::appendBaseUrl(url, base);
  if (!base.ends_with('/')) url += '/';
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

// The query after the endpoint: parameter pairs, store pairs, item pairs.
void appendSuffix(std::string& url, const StringMap& custom, const request::StoreReading& store) {
  const std::size_t start = url.size();
  request::appendParameterPairs(url, custom, store);
  url += store.pairs;
  request::appendItemPairs(url);
  // The log is on while "qivtest" is set: no line is composed otherwise.
  if (!store.test.empty()) {
    QivUtil::addLog("createURLSuffix return --> " + url.substr(start));
  }
}

// Room for a URL as long as the last one: the string grows once.
std::atomic<std::size_t> lastUrlSize{512};

// The store for one request, without the registry's lock and count.
platform::UserDefaultsSuite& defaults() {
  return platform::current().userDefaults().borrowSuite(kDefaultsSuiteName);
}

}  // namespace

std::string createRequest(std::string_view type, const StringMap& receivedMap) {
  std::string url;
  url.reserve(lastUrlSize.load(std::memory_order_relaxed) + 64);
  bool logging = false;
  if (type == "log") {
    // The log upload carries only its own parameters.
    appendBaseUrl(url, readDefault("_cburl"));
    url += "jsonlog?" + createLink(receivedMap);
    logging = true;
  } else {
    const request::StoreReading store = request::readStore(defaults(), true);
    appendBaseUrl(url, store.baseUrl);
    url += endpointFor(type);
    appendSuffix(url, receivedMap, store);
    logging = !store.test.empty();
  }
  if (logging) {
    QivUtil::addLog("create request called with : " + QivUtil::mapToString(receivedMap));
  }
  lastUrlSize.store(url.size(), std::memory_order_relaxed);
  return url;
}

std::string createURLSuffix(const StringMap& custom) {
  const request::StoreReading store = request::readStore(defaults(), true);
  std::string suffix;
  suffix.reserve(lastUrlSize.load(std::memory_order_relaxed));
  appendSuffix(suffix, custom, store);
  return suffix;
}

}  // namespace tavrino::Util
