// The four ways a request leaves the SDK. Nothing is retried; failures are
// at most a log line.

#include <algorithm>
#include <string>

#include "core/shared_configuration.hpp"
#include "core/transport/request_timeout.hpp"
#include "tavrino/async_task.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"
#include "tavrino/util/transport.hpp"

namespace tavrino {
namespace {

using std::chrono::milliseconds;

platform::URLSession& session() {
  return platform::current().urlSession();
}

}  // namespace

milliseconds configuredRequestTimeout() {
  const std::string text =
      processState().withConfig([](SharedConfiguration& c) { return c.requestTimeoutText; });
  double seconds = 0;
  if (!parseNumber(text, &seconds) || seconds <= 0) seconds = 6;
  seconds = std::min(seconds, 86400.0);
  return milliseconds(static_cast<std::int64_t>(seconds * 1000));
}

void AsyncTask::getDataFromUrl(std::string_view url, Completion completion) {
  QivUtil::addLog("getdatafromurlcalled : ");
  platform::URLRequest request;
  request.timeout = configuredRequestTimeout();
  if (!session().formsURL(url)) return;
  request.url = std::string(url);
  session().dataTask(std::move(request),
                     [completion = std::move(completion)](
                         std::optional<Data> data, std::optional<platform::URLResponse> response,
                         std::optional<platform::URLError> error) {
                       if (error) {
                         QivUtil::addLog("request failed : " + error->localizedDescription);
                       } else if (!response) {
                         QivUtil::addLog("response was empty !");
                       } else if (data) {
                         QivUtil::addLog("getdatafromurlcalled : finished");
                         if (completion)
                           completion(std::move(data), std::move(response), std::nullopt);
                       } else {
                         QivUtil::addLog("response data was empty !");
                       }
                     });
}

namespace {

// The debug log's switch, as QivUtil::addLog reads it: a hit reads it once
// rather than building lines nobody keeps.
bool debugLogOn() {
  const auto test = Util::qivDefaults()->string("qivtest");
  return test && !test->empty();
}

// Queues a GET whose answer only ends in a step and completion; url is known
// to form a URL.
void sendGet(std::string_view type, std::string url, AsyncTask::Completion completion,
             bool logging) {
  if (logging) QivUtil::addLog("getdatafromurlcalled2 : ");
  platform::URLRequest request;
  request.timeout = type == "pushclick" ? milliseconds(1000) : milliseconds(2000);
  request.url = std::move(url);
  // Nobody reads a hit's answer: compressing its "{}" would cost the service
  // more than it saves.
  if (!completion) request.headers = {{"Accept-Encoding", "identity"}};
  session().dataTask(std::move(request),
                     [type = std::string(type), completion = std::move(completion)](
                         std::optional<Data> data, std::optional<platform::URLResponse> response,
                         std::optional<platform::URLError> error) {
                       if (error) return;
                       recordStep("request finished. type is : " + type);
                       if (completion)
                         completion(std::move(data), std::move(response), std::nullopt);
                     });
}

}  // namespace

void AsyncTask::getDataFromUrl_2(std::string_view type, std::string_view url,
                                 Completion completion) {
  if (!session().formsURL(url)) {
    QivUtil::addLog("getdatafromurlcalled2 : ");
    return;
  }
  sendGet(type, std::string(url), std::move(completion), /*logging=*/true);
}

// A tracking hit: its URL holds the values as of the call, and the session
// starts hits in the order they were handed over. The caller only queues it,
// no hop through a global queue (which would also lose the order).
void Util::getRequest(std::string_view type, std::string_view url) {
  const bool logging = debugLogOn();
  if (logging) QivUtil::addLog("send request : " + std::string(url));
  if (!session().formsURL(url)) return;
  if (logging) QivUtil::addLog("send request : urlsTring not nil");
  recordStep("request start. type is : " + std::string(type));
  sendGet(type, std::string(url), nullptr, logging);
}

void Util::sendPostRequest(std::string_view url, std::string_view message) {
  if (!session().formsURL(url)) return;
  std::string body;
  try {
    body = Value{{"message", std::string(message)}}.dump();
  } catch (const Value::exception&) {
    return;  // text that is not UTF-8 cannot be serialised
  }
  platform::URLRequest request;
  request.url = std::string(url);
  request.method = "POST";
  request.headers = {{"Content-Type", "application/json"}};
  request.timeout = milliseconds(60000);
  request.body.assign(body.begin(), body.end());
  session().dataTask(std::move(request), [](auto, auto, auto) {});
}

void Util::addServerLog(std::string_view message) {
  const StringMap map = {
      {"s", readDefault("_s")}, {"api_key", readDefault("qiv_api_key")}, {"type", "sdklog"}};
  const std::string url = createRequest("log", map);
  platform::current().dispatch().globalAsync(
      platform::QualityOfService::utility,
      [url, message = std::string(message)] { sendPostRequest(url, message); });
}

}  // namespace tavrino
