// The control endpoint: the C++ API of Service over HTTP, for tests and demos
// that run the service as a separate process.

#include <algorithm>
#include <filesystem>

#include "service/answers.hpp"
#include "service/json_text.hpp"
#include "service/service.hpp"

namespace tavrino::service {
namespace {

// Bounds a remote wait so a caller cannot park a worker thread for long.
constexpr long long kMaxWaitMs = 30000;

std::string firstValue(const QueryPairs& query, std::string_view key) {
  for (const auto& [k, v] : query) {
    if (k == key) return v;
  }
  return {};
}

long long parseWhole(const std::string& text, long long fallback) {
  if (text.empty() ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
      text.size() > 12) {
    return fallback;
  }
  return std::stoll(text);
}

std::optional<Failure> failureNamed(const std::string& name) {
  if (name == "none") return Failure::none;
  if (name == "status500") return Failure::status500;
  if (name == "drop") return Failure::dropConnection;
  if (name == "garbage") return Failure::garbage;
  if (name == "hang") return Failure::hang;
  if (name == "cut") return Failure::cutMidBody;
  if (name == "truncated") return Failure::truncated;
  if (name == "huge") return Failure::hugeBody;
  if (name == "drip") return Failure::slowDrip;
  return std::nullopt;
}

// Reads {"path", "delayMs", "failure", "status", "body", "contentType",
// "times"}; returns nothing with *error set when a member has the wrong form.
std::optional<std::pair<std::string, Behavior>> behaviorFrom(const Json& document,
                                                             std::string* error) {
  if (!document.is_object() || !document.contains("path") || !document["path"].is_string()) {
    *error = "a behavior needs a \"path\" text";
    return std::nullopt;
  }
  Behavior behavior;
  try {
    behavior.delay = std::chrono::milliseconds(document.value("delayMs", 0LL));
    if (const auto failure = document.find("failure"); failure != document.end()) {
      auto named = failureNamed(failure->get<std::string>());
      if (!named) {
        *error =
            "\"failure\" is one of none, status500, drop, garbage, hang, cut, truncated, huge, "
            "drip";
        return std::nullopt;
      }
      behavior.failure = *named;
    }
    if (document.contains("status")) behavior.status = document["status"].get<int>();
    if (const auto body = document.find("body"); body != document.end()) {
      behavior.body = body->is_string() ? body->get<std::string>() : dumpJson(*body);
    }
    behavior.contentType = document.value("contentType", behavior.contentType);
    behavior.times = document.value("times", -1);
    behavior.dripInterval =
        std::chrono::milliseconds(document.value("dripMs", behavior.dripInterval.count()));
  } catch (const Json::exception&) {
    *error = "a behavior member has the wrong type";
    return std::nullopt;
  }
  return std::make_pair(document["path"].get<std::string>(), std::move(behavior));
}

void answerJson(httplib::Response& response, int status, const Json& body) {
  response.status = status;
  response.set_content(dumpJson(body), "application/json");
}

}  // namespace

bool Service::controlAllowed(const httplib::Request& request) const {
  if (request.remote_addr.starts_with("127.")) return true;
  const std::string sent = request.get_header_value("X-Control-Token");
  std::lock_guard lock(mu_);
  const std::string& token = remoteControlToken_;
  if (token.empty() || sent.size() != token.size()) return false;
  // Takes as long for a near miss as for a far one.
  unsigned char differs = 0;
  for (std::size_t i = 0; i < token.size(); ++i) differs |= sent[i] ^ token[i];
  return differs == 0;
}

void Service::handleControl(const httplib::Request& request, const std::string& body,
                            httplib::Response& response) {
  if (!controlAllowed(request)) {
    return answerJson(response, 403,
                      Json{{"error",
                            "the control endpoint answers loopback clients, and others only with "
                            "the operator's token"}});
  }
  const std::string command = request.path.substr(std::string_view("/_control/").size());
  const QueryPairs query = parseQuery(request.target);
  const bool isPost = request.method == "POST";

  if (command == "requests" && request.method == "GET") {
    Json list = Json::array();
    for (const auto& recorded : requests(firstValue(query, "path"))) {
      list.push_back(recorded.toJson());
    }
    return answerJson(response, 200, list);
  }
  if (command == "wait" && request.method == "GET") {
    const std::string prefix = firstValue(query, "path");
    const auto count = static_cast<std::size_t>(parseWhole(firstValue(query, "count"), 1));
    const auto timeout = std::chrono::milliseconds(
        std::min(parseWhole(firstValue(query, "timeoutMs"), 1000), kMaxWaitMs));
    const bool reached = waitForRequests(prefix, count, timeout);
    return answerJson(response, 200, Json{{"ok", reached}, {"count", requests(prefix).size()}});
  }
  if (command == "summary" && request.method == "GET") {
    const RecordStats stats = recordStats();
    return answerJson(response, 200,
                      Json{{"recorded", stats.recorded},
                           {"recordedBytes", stats.recordedBytes},
                           {"dropped", stats.dropped}});
  }
  if (command == "reset" && isPost) {
    reset();
    return answerJson(response, 200, Json::object());
  }
  if (command == "clear-behaviors" && isPost) {
    clearBehaviors();
    return answerJson(response, 200, Json::object());
  }

  if (!isPost || (command != "behavior" && command != "scenario")) {
    return answerJson(response, 404, Json{{"error", "no such control command"}});
  }
  std::string error;
  const std::optional<Json> document = parseJson(body, &error);
  if (!document) return answerJson(response, 400, Json{{"error", "the body is " + error}});
  if (command == "behavior") {
    if (auto parsed = behaviorFrom(*document, &error)) {
      setBehavior(std::move(parsed->first), std::move(parsed->second));
      return answerJson(response, 200, Json::object());
    }
    return answerJson(response, 400, Json{{"error", error}});
  }
  std::filesystem::path root;
  {
    std::lock_guard lock(mu_);
    root = controlRoot_;
  }
  auto scenario = Scenario::fromJson(*document, root, &error);
  if (!scenario) return answerJson(response, 400, Json{{"error", error}});
  if (!scenario->images.empty() && !resolvedInside(scenario->images, root)) {
    return answerJson(response, 400,
                      Json{{"error", "\"images\" must lie inside " + root.string()}});
  }
  setScenario(std::move(*scenario));
  return answerJson(response, 200, Json::object());
}

}  // namespace tavrino::service
