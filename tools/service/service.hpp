#pragma once

// The reference tracking service: the SDK's development peer. It answers the
// SDK's endpoints from a Scenario, records every request, and lets a test
// delay, break or script the answer of any path. Tests embed it in-process;
// the tavrino-service binary runs it in the foreground.
//
// Endpoints are recognised by the end of the path, so any base path works:
// ".../d", ".../t", ".../u", ".../pn/gm.php", ".../platform/sendnot.php",
// ".../appinboxcat", ".../cmpdata", ".../jsonlog", ".../sproof/" and images
// under ".../img/". Paths under "/_control/" steer the service itself (see
// README.md) and are not recorded.
//
// The control endpoint answers loopback clients, and others only with the
// token set by setRemoteControlToken(). What one client can make it hold is
// bounded by its Limits.
//
// Thread-safety: every method may be called from any thread while the
// service runs; handlers run on the HTTP library's worker threads.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "service/limits.hpp"
#include "service/recorded_request.hpp"
#include "service/scenario.hpp"

namespace httplib {
class ContentReader;
struct Request;
struct Response;
}  // namespace httplib

namespace tavrino::service {

enum class Failure {
  none,
  // Answers 500 with an empty body.
  status500,
  // Sends the status line and headers, then closes the connection before the
  // promised body: the client sees a transport error.
  dropConnection,
  // Answers 200 with bytes that are neither JSON nor UTF-8.
  garbage,
  // Holds the answer until stop(), past any client's time-out.
  hang,
  // Promises the endpoint's whole answer, sends its first half, then closes
  // the connection: a reset in mid-body.
  cutMidBody,
  // Answers 200 with the first half of the endpoint's answer, complete as
  // HTTP: a truncated document.
  truncated,
  // Answers 200 with a JSON array of 50 MB, sent in chunks without a length.
  hugeBody,
  // Sends the endpoint's answer one byte per dripInterval (stop() ends it).
  slowDrip,
};

// The size of the hugeBody answer.
inline constexpr std::size_t kHugeBodyBytes = 50 * 1024 * 1024;

// What the service does with the requests of one path instead of (or before)
// its normal answer.
struct Behavior {
  // Waited before answering; stop() cuts the wait short.
  std::chrono::milliseconds delay{0};
  Failure failure = Failure::none;
  // A scripted answer replaces the endpoint's own (ignored under a failure).
  std::optional<int> status;
  std::optional<std::string> body;
  std::string contentType = "application/json";
  // How many requests it applies to; negative for all.
  int times = -1;
  // The pause between the bytes of a slowDrip answer.
  std::chrono::milliseconds dripInterval{200};

  static Behavior delayed(std::chrono::milliseconds by);
  static Behavior failing(Failure failure);
  static Behavior answering(int status, std::string body,
                            std::string contentType = "application/json");
};

// The one-pixel PNG served under ".../img/" when the scenario names no image
// directory and the name is none of the built-in test images.
std::string_view builtInImage();
// The built-in test image called name ("sample.jpg", "bomb.png"; the list is
// in service/builtin_images.hpp), served under ".../img/<name>" when the
// scenario names no image directory.
std::optional<std::string_view> builtInImage(std::string_view name);

// A base URL on the loopback address whose port nobody listens on: every
// connection to it is refused (until some program happens to bind it).
std::string refusingBaseUrl();

class GuardedServer;

// The state of the record of requests.
struct RecordStats {
  std::size_t recorded = 0;
  std::size_t recordedBytes = 0;
  // Dropped, oldest first, to keep the record within Limits::maxRecordBytes.
  std::size_t dropped = 0;
};

class Service {
 public:
  explicit Service(Scenario scenario = {}, Limits limits = {});
  // Stops the service.
  ~Service();
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  // Binds address:port (0 picks a free port), starts serving on a thread of
  // its own and returns the base URL "http://ADDRESS:PORT/". address is an
  // IPv4 address: the loopback one by default, "0.0.0.0" for every interface
  // (the base URL then names the loopback address, and answers name the
  // host each client asked for). Returns the empty text when the address is
  // not one or cannot be bound. Starting a running service returns its base
  // URL.
  std::string start(int port = 0, const std::string& address = "127.0.0.1");

  // Stops serving and joins the thread. Delayed answers are woken and
  // answered 503; open connections are closed. Idempotent.
  void stop();

  bool isRunning() const;
  // The base URL, or the empty text when not running.
  std::string baseUrl() const;
  int port() const;

  void setScenario(Scenario scenario);

  // The folder an image folder posted over the control endpoint must lie in
  // (symbolic links resolved); a relative one is taken from it. Default: the
  // working directory at construction.
  void setControlRoot(std::filesystem::path folder);
  // Lets clients other than loopback ones use the control endpoint when they
  // send token in the "X-Control-Token" header. Empty (the default): loopback
  // clients only.
  void setRemoteControlToken(std::string token);

  // Called with each request as it is recorded, on the worker thread that
  // received it (several may call at once). Null: nobody is told.
  using RequestObserver = std::function<void(const RecordedRequest&)>;
  void setRequestObserver(RequestObserver observer);

  // Sets the behavior of requests whose path equals path, or starts with it
  // when path ends in "*" ("/img/*"). A later call for the same path
  // replaces the earlier one; an exact path wins over a prefix.
  void setBehavior(std::string path, Behavior behavior);
  void clearBehaviors();

  // Every request recorded so far, in arrival order (recorded on arrival,
  // before any delay).
  std::vector<RecordedRequest> requests() const;
  // The recorded requests whose path starts with pathPrefix.
  std::vector<RecordedRequest> requests(std::string_view pathPrefix) const;

  RecordStats recordStats() const;

  // Forgets the recorded requests (and the count of dropped ones) and the
  // behaviors.
  void reset();

  // Waits until at least count requests whose path starts with pathPrefix
  // were recorded. Returns true iff that happened within timeout.
  bool waitForRequests(std::string_view pathPrefix, std::size_t count,
                       std::chrono::milliseconds timeout) const;

 private:
  struct BehaviorEntry {
    std::string path;
    Behavior behavior;
  };

  void installRoutes();
  void handle(const httplib::Request& request, const std::string& body,
              httplib::Response& response);
  void handleControl(const httplib::Request& request, const std::string& body,
                     httplib::Response& response);
  // Returns true iff request may use the control endpoint.
  bool controlAllowed(const httplib::Request& request) const;
  void addToRecord(RecordedRequest request);
  std::optional<Behavior> takeBehavior(const std::string& path);
  // Returns false when stop() cut the wait short.
  bool waitFor(std::chrono::milliseconds delay);
  // Answers with a failure; ownAnswer is the endpoint's answer it breaks.
  void answerFault(const Behavior& behavior, httplib::Response& ownAnswer,
                   httplib::Response& response);
  std::size_t countLocked(std::string_view pathPrefix) const;

  const Limits limits_;
  mutable std::mutex mu_;
  mutable std::condition_variable changed_;          // a request arrived, or stopping
  std::shared_ptr<const Scenario> scenario_;         // guarded by mu_
  std::deque<RecordedRequest> requests_;             // guarded by mu_
  RecordStats recordStats_;                          // guarded by mu_
  std::filesystem::path controlRoot_;                // guarded by mu_
  std::string remoteControlToken_;                   // guarded by mu_
  std::vector<BehaviorEntry> behaviors_;             // guarded by mu_
  bool stopping_ = false;                            // guarded by mu_
  int port_ = 0;                                     // guarded by mu_
  std::string address_ = "127.0.0.1";                // guarded by mu_
  std::shared_ptr<const RequestObserver> observer_;  // guarded by mu_

  std::mutex lifecycle_;  // serialises start() and stop()
  std::unique_ptr<GuardedServer> server_;
  std::thread thread_;
  std::shared_ptr<std::atomic<bool>> listenReturned_;
};

}  // namespace tavrino::service
