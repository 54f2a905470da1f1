#include "sim/hits.hpp"

#include <chrono>
#include <future>

#include "service/json_text.hpp"
#include "tavrino/platform/platform.hpp"

namespace tavrino::sim {
namespace {

using namespace std::chrono_literals;

class InProcessHits final : public HitSource {
 public:
  explicit InProcessHits(const service::Service& service) : service_(service) {}
  std::optional<std::vector<service::RecordedRequest>> all() override {
    return service_.requests();
  }

 private:
  const service::Service& service_;
};

struct Answer {
  int status = 0;
  std::string body;
  std::string error;  // set when no answer came
};

// One GET through the platform's URL session, waited for: the simulator asks
// only between steps, when the SDK has settled.
Answer fetch(const std::string& url, std::chrono::milliseconds timeout) {
  auto promise = std::make_shared<std::promise<Answer>>();
  auto future = promise->get_future();
  platform::URLRequest request;
  request.url = url;
  request.timeout = timeout;
  platform::current().urlSession().dataTask(
      request, [promise](std::optional<Data> data, std::optional<platform::URLResponse> response,
                         std::optional<platform::URLError> error) {
        Answer answer;
        if (error || !response) {
          answer.error = error ? error->localizedDescription : "no answer";
        } else {
          answer.status = response->statusCode;
          if (data) answer.body.assign(data->begin(), data->end());
        }
        promise->set_value(std::move(answer));
      });
  if (future.wait_for(timeout + 2s) != std::future_status::ready) return {0, {}, "no answer"};
  return future.get();
}

// Reads [[key, value], ...]; false when an element is not two texts.
bool readPairs(const service::Json& list, service::QueryPairs& out) {
  for (const auto& pair : list) {
    if (!pair.is_array() || pair.size() != 2 || !pair[0].is_string() || !pair[1].is_string()) {
      return false;
    }
    out.emplace_back(pair[0].get<std::string>(), pair[1].get<std::string>());
  }
  return true;
}

std::optional<std::vector<service::RecordedRequest>> parseRequests(const std::string& body) {
  // The service may be another host's: its answer is bounded like any document.
  const auto parsed = service::parseJson(body, nullptr);
  if (!parsed || !parsed->is_array()) return std::nullopt;
  const auto& list = *parsed;
  std::vector<service::RecordedRequest> requests;
  for (const auto& item : list) {
    if (!item.is_object()) return std::nullopt;
    service::RecordedRequest request;
    request.method = item.value("method", "");
    request.path = item.value("path", "");
    request.target = item.value("target", "");
    request.body = item.value("body", "");
    const auto query = item.find("query");
    if (query == item.end() || !query->is_array() || !readPairs(*query, request.query)) {
      return std::nullopt;
    }
    requests.push_back(std::move(request));
  }
  return requests;
}

class RemoteHits final : public HitSource {
 public:
  explicit RemoteHits(std::string controlUrl) : controlUrl_(std::move(controlUrl)) {}
  std::optional<std::vector<service::RecordedRequest>> all() override {
    const Answer answer = fetch(controlUrl_, 5000ms);
    if (answer.status != 200) return std::nullopt;
    return parseRequests(answer.body);
  }

 private:
  std::string controlUrl_;
};

// "http://host:port/any/path/" -> "http://host:port"
std::string originOf(const std::string& url) {
  const auto scheme = url.find("://");
  if (scheme == std::string::npos) return url;
  const auto slash = url.find('/', scheme + 3);
  return slash == std::string::npos ? url : url.substr(0, slash);
}

}  // namespace

std::unique_ptr<HitSource> inProcessHits(const service::Service& service) {
  return std::make_unique<InProcessHits>(service);
}

std::unique_ptr<HitSource> remoteHits(const std::string& baseUrl, bool* recording,
                                      std::string* error) {
  if (!platform::current().urlSession().formsURL(baseUrl) ||
      !(baseUrl.starts_with("http://") || baseUrl.starts_with("https://"))) {
    *error = "\"" + baseUrl + "\" is not an http or https address";
    return nullptr;
  }
  const std::string control = originOf(baseUrl) + "/_control/requests";
  const Answer answer = fetch(control, 5000ms);
  if (!answer.error.empty()) {
    *error = "cannot reach the service at " + baseUrl + ": " + answer.error;
    return nullptr;
  }
  *recording = answer.status == 200 && parseRequests(answer.body).has_value();
  return std::make_unique<RemoteHits>(control);
}

std::string describeHit(const service::RecordedRequest& hit) {
  // Pairs side by side, wrapped into lines of about 80 characters.
  std::string text = hit.method + " " + hit.path;
  std::string line;
  for (const auto& [key, value] : hit.query) {
    const std::string pair = key + "=" + value;
    if (!line.empty() && line.size() + pair.size() > 80) {
      text += "\n" + line;
      line.clear();
    }
    line += "  " + pair;
  }
  if (!line.empty()) text += "\n" + line;
  if (!hit.body.empty()) text += "\n  body: " + hit.body.substr(0, 200);
  return text;
}

}  // namespace tavrino::sim
