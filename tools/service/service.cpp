#include "service/service.hpp"

#include <arpa/inet.h>
#include <pthread.h>
#include <signal.h>

#include <httplib.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "service/answers.hpp"
#include "service/guarded_server.hpp"

namespace tavrino::service {
namespace {

// Headers the HTTP library adds to every request it parses; the client never
// sent them.
bool isLibraryHeader(const std::string& name) {
  return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
         name == "LOCAL_PORT";
}

constexpr std::size_t kKeepAliveRequests = 10000;

bool isIPv4Address(const std::string& text) {
  in_addr parsed{};
  return inet_pton(AF_INET, text.c_str(), &parsed) == 1;
}

// Reads the body of request into *body: 200, or 413 when it is (or inflates
// to) more than maxBytes, or 400 when it is malformed.
int readBody(const httplib::Request& request, const httplib::ContentReader& reader,
             std::size_t maxBytes, std::string* body) {
  const std::string declared = request.get_header_value("Content-Length");
  if (!declared.empty() && std::strtoull(declared.c_str(), nullptr, 10) > maxBytes) return 413;
  bool tooLong = false;
  const auto receive = [&](const char* data, std::size_t length) {
    tooLong = length > maxBytes - body->size();
    if (!tooLong) body->append(data, length);
    return !tooLong;
  };
  const bool read = request.is_multipart_form_data()
                        ? reader([](const httplib::MultipartFormData&) { return true; }, receive)
                        : reader(receive);
  return tooLong ? 413 : read ? 200 : 400;
}

// The host part of a base URL for a service bound to address: a service on
// every interface is reached on this machine through the loopback address.
std::string urlHost(const std::string& address) {
  return address == "0.0.0.0" ? "127.0.0.1" : address;
}

// The "host:port" a client asked for, when it is plainly one: answers may
// name it in image addresses, so nothing else gets through.
bool isPlainHost(const std::string& host) {
  if (host.empty() || host.size() > 255) return false;
  return std::all_of(host.begin(), host.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == ':' || c == '[' || c == ']';
  });
}

bool behaviorMatches(const std::string& pattern, const std::string& path) {
  if (!pattern.empty() && pattern.back() == '*') {
    return path.starts_with(std::string_view(pattern).substr(0, pattern.size() - 1));
  }
  return pattern == path;
}

}  // namespace

Behavior Behavior::delayed(std::chrono::milliseconds by) {
  Behavior behavior;
  behavior.delay = by;
  return behavior;
}

Behavior Behavior::failing(Failure failure) {
  Behavior behavior;
  behavior.failure = failure;
  return behavior;
}

Behavior Behavior::answering(int status, std::string body, std::string contentType) {
  Behavior behavior;
  behavior.status = status;
  behavior.body = std::move(body);
  behavior.contentType = std::move(contentType);
  return behavior;
}

Service::Service(Scenario scenario, Limits limits)
    : limits_(limits), scenario_(std::make_shared<const Scenario>(std::move(scenario))) {
  std::error_code ignored;
  controlRoot_ = std::filesystem::current_path(ignored);
}

Service::~Service() {
  stop();
}

std::string Service::start(int port, const std::string& address) {
  std::lock_guard lifecycle(lifecycle_);
  if (server_) return baseUrl();
  if (!isIPv4Address(address)) return {};
  server_ = std::make_unique<GuardedServer>(limits_);
  // Clients may reuse one connection for as many requests as they like.
  server_->set_keep_alive_max_count(kKeepAliveRequests);
  // Headers and body go out in separate writes; without this the second
  // waits for the client's delayed acknowledgement.
  server_->set_tcp_nodelay(true);
  installRoutes();
  int bound = -1;
  if (port == 0) {
    bound = server_->bind_to_any_port(address);
  } else if (server_->bind_to_port(address, port)) {
    bound = port;
  }
  if (bound <= 0) {
    server_.reset();
    return {};
  }
  server_->widenListenBacklog();
  {
    std::lock_guard lock(mu_);
    port_ = bound;
    address_ = address;
    stopping_ = false;
  }
  listenReturned_ = std::make_shared<std::atomic<bool>>(false);
  thread_ = std::thread([server = server_.get(), done = listenReturned_] {
    // A client that hangs up before its answer is written must not end the
    // process; the worker threads inherit this mask.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    server->listen_after_bind();
    done->store(true);
  });
  // stop() only reaches a server that has entered its accept loop.
  while (!server_->is_running() && !listenReturned_->load()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (listenReturned_->load()) {
    thread_.join();
    server_.reset();
    std::lock_guard lock(mu_);
    port_ = 0;
    return {};
  }
  return baseUrl();
}

void Service::stop() {
  std::lock_guard lifecycle(lifecycle_);
  if (!server_) return;
  {
    std::lock_guard lock(mu_);
    stopping_ = true;
  }
  changed_.notify_all();
  server_->stop();
  // Connections accepted while stopping are shut down on the next round.
  while (!listenReturned_->load()) {
    server_->shutdownConnections();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  thread_.join();
  server_.reset();
  std::lock_guard lock(mu_);
  stopping_ = false;
  port_ = 0;
}

bool Service::isRunning() const {
  std::lock_guard lock(mu_);
  return port_ != 0;
}

std::string Service::baseUrl() const {
  std::lock_guard lock(mu_);
  return port_ == 0 ? std::string()
                    : "http://" + urlHost(address_) + ":" + std::to_string(port_) + "/";
}

int Service::port() const {
  std::lock_guard lock(mu_);
  return port_;
}

void Service::setScenario(Scenario scenario) {
  auto shared = std::make_shared<const Scenario>(std::move(scenario));
  std::lock_guard lock(mu_);
  scenario_ = std::move(shared);
}

void Service::setControlRoot(std::filesystem::path folder) {
  std::lock_guard lock(mu_);
  controlRoot_ = std::move(folder);
}

void Service::setRemoteControlToken(std::string token) {
  std::lock_guard lock(mu_);
  remoteControlToken_ = std::move(token);
}

void Service::setRequestObserver(RequestObserver observer) {
  auto shared = observer ? std::make_shared<const RequestObserver>(std::move(observer)) : nullptr;
  std::lock_guard lock(mu_);
  observer_ = std::move(shared);
}

void Service::setBehavior(std::string path, Behavior behavior) {
  std::lock_guard lock(mu_);
  std::erase_if(behaviors_, [&](const BehaviorEntry& entry) { return entry.path == path; });
  behaviors_.push_back({std::move(path), std::move(behavior)});
}

void Service::clearBehaviors() {
  std::lock_guard lock(mu_);
  behaviors_.clear();
}

std::vector<RecordedRequest> Service::requests() const {
  std::lock_guard lock(mu_);
  return {requests_.begin(), requests_.end()};
}

RecordStats Service::recordStats() const {
  std::lock_guard lock(mu_);
  return recordStats_;
}

std::vector<RecordedRequest> Service::requests(std::string_view pathPrefix) const {
  std::lock_guard lock(mu_);
  std::vector<RecordedRequest> found;
  for (const auto& request : requests_) {
    if (request.path.starts_with(pathPrefix)) found.push_back(request);
  }
  return found;
}

void Service::reset() {
  std::lock_guard lock(mu_);
  requests_.clear();
  recordStats_ = {};
  behaviors_.clear();
}

std::size_t Service::countLocked(std::string_view pathPrefix) const {
  return static_cast<std::size_t>(std::count_if(
      requests_.begin(), requests_.end(),
      [&](const RecordedRequest& request) { return request.path.starts_with(pathPrefix); }));
}

bool Service::waitForRequests(std::string_view pathPrefix, std::size_t count,
                              std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mu_);
  return changed_.wait_for(lock, timeout, [&] { return countLocked(pathPrefix) >= count; });
}

std::optional<Behavior> Service::takeBehavior(const std::string& path) {
  // REQUIRES: mu_ held. An exact path wins over a prefix.
  auto found = std::find_if(behaviors_.begin(), behaviors_.end(),
                            [&](const BehaviorEntry& entry) { return entry.path == path; });
  if (found == behaviors_.end()) {
    found = std::find_if(behaviors_.begin(), behaviors_.end(), [&](const BehaviorEntry& entry) {
      return behaviorMatches(entry.path, path);
    });
  }
  if (found == behaviors_.end()) return std::nullopt;
  Behavior behavior = found->behavior;
  if (found->behavior.times > 0 && --found->behavior.times == 0) behaviors_.erase(found);
  return behavior;
}

bool Service::waitFor(std::chrono::milliseconds delay) {
  std::unique_lock lock(mu_);
  return !changed_.wait_for(lock, delay, [this] { return stopping_; });
}

void Service::installRoutes() {
  const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
    handle(request, {}, response);
  };
  // Bodies are read here, not by the library, to bound them as they inflate.
  const auto reading = [this](const httplib::Request& request, httplib::Response& response,
                              const httplib::ContentReader& reader) {
    std::string body;
    response.status = readBody(request, reader, limits_.maxBodyBytes, &body);
    if (response.status != 200) {
      // The rest of the body is still on its way: the connection cannot
      // carry another request.
      closeConnectionAfterAnswer();
      return;
    }
    handle(request, body, response);
  };
  const std::string any = ".*";
  server_->Get(any, handler);
  server_->Options(any, handler);
  server_->Post(any, reading);
  server_->Put(any, reading);
  server_->Patch(any, reading);
  server_->Delete(any, reading);
}

void Service::addToRecord(RecordedRequest request) {
  // REQUIRES: mu_ held.
  recordStats_.recordedBytes += request.footprint();
  requests_.push_back(std::move(request));
  while (recordStats_.recordedBytes > limits_.maxRecordBytes && !requests_.empty()) {
    recordStats_.recordedBytes -= requests_.front().footprint();
    requests_.pop_front();
    ++recordStats_.dropped;
  }
  recordStats_.recorded = requests_.size();
}

void Service::handle(const httplib::Request& request, const std::string& body,
                     httplib::Response& response) {
  if (request.path.starts_with("/_control/")) return handleControl(request, body, response);

  RecordedRequest record;
  record.method = request.method;
  record.path = request.path;
  record.target = request.target;
  record.query = parseQuery(request.target);
  for (const auto& [name, value] : request.headers) {
    if (!isLibraryHeader(name)) record.headers.emplace_back(name, value);
  }
  record.body = body.substr(0, limits_.maxRecordedBodyBytes);
  record.bodyBytes = body.size();
  record.remotePort = request.remote_port;

  std::shared_ptr<const Scenario> scenario;
  std::optional<Behavior> behavior;
  std::shared_ptr<const RequestObserver> observer;
  std::string base;
  {
    std::lock_guard lock(mu_);
    addToRecord(record);
    scenario = scenario_;
    behavior = takeBehavior(record.path);
    observer = observer_;
    base = "http://" + urlHost(address_) + ":" + std::to_string(port_) + "/";
    // Clients elsewhere reach a service on a public address by their own
    // name for it.
    const std::string host = request.get_header_value("Host");
    if (address_ != "127.0.0.1" && isPlainHost(host)) base = "http://" + host + "/";
  }
  changed_.notify_all();
  if (observer) (*observer)(record);

  if (behavior && behavior->delay.count() > 0 && !waitFor(behavior->delay)) {
    response.status = 503;
    return;
  }
  if (behavior && behavior->failure != Failure::none) {
    httplib::Response own;
    answerEndpoint(record, *scenario, base, own);
    return answerFault(*behavior, own, response);
  }
  if (behavior && (behavior->status || behavior->body)) {
    response.status = behavior->status.value_or(200);
    response.set_content(behavior->body.value_or(""), behavior->contentType);
    return;
  }
  answerEndpoint(record, *scenario, base, response);
}

}  // namespace tavrino::service
