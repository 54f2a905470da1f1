#pragma once

// URLSession: HTTP requests to the tracking service and downloads of banner
// images and social-proof counts.
//
// dataTask() starts a request at once and returns; its completion runs later
// on the session's own background thread, never on the caller's thread and
// never on the main thread. Many requests may be in flight together; nothing
// is ordered, retried or cached.
//
// Thread-safety: every method may be called from any thread, including from a
// completion. Completions run one at a time on the session thread, so a slow
// completion delays the others. The session must outlive every call into it;
// destroying it cancels the requests in flight (see the implementation for
// whether their completions run).

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tavrino/export.hpp"
#include "tavrino/value.hpp"

namespace tavrino::platform {

// Whether a load may be answered from a cache; raw values as the platform
// numbers them. The URL session caches nothing and ignores it; a web engine
// may honour it.
enum class CachePolicy {
  useProtocolCachePolicy = 0,
  reloadIgnoringLocalCacheData = 1,
  returnCacheDataElseLoad = 2,
  returnCacheDataDontLoad = 3,
};

struct URLRequest {
  std::string url;
  // An HTTP method token ("GET", "POST", ...).
  std::string method = "GET";
  // Sent in order. A name or value holding a control character fails the
  // request instead of being sent.
  std::vector<std::pair<std::string, std::string>> headers;
  // Sent when not empty.
  Data body;
  // Bounds the whole exchange, connection included. Zero or less means the
  // default of 60 seconds.
  std::chrono::milliseconds timeout{60000};
  CachePolicy cachePolicy = CachePolicy::useProtocolCachePolicy;
};

struct URLResponse {
  int statusCode = 0;
  // The URL that answered, after any redirects.
  std::string url;
  // The answer's header fields in arrival order, names as sent.
  std::vector<std::pair<std::string, std::string>> headers;
};

struct URLError {
  // The implementation's code for the failure; it tells a time-out from other
  // failures (the libcurl implementation keeps libcurl's codes).
  int code = 0;
  std::string localizedDescription;
};

// Exactly one of these holds: an error (data and response absent), or a
// response with data, or a response with absent data when the body was empty.
// Status codes are not errors: a 500 comes back as a response.
using DataTaskCompletion = std::function<void(
    std::optional<Data> data, std::optional<URLResponse> response, std::optional<URLError> error)>;

class TAVRINO_EXPORT URLSession {
 public:
  virtual ~URLSession();

  // Starts request and returns at once. completion runs exactly once on the
  // session thread, also when the URL does not form one (with an error).
  virtual void dataTask(URLRequest request, DataTaskCompletion completion) = 0;

  // Returns true iff text is an absolute URL with a scheme and a host. Text
  // holding a control character (any byte below 0x20, DEL) or a space never
  // forms a URL, so such text can never reach a request line.
  virtual bool formsURL(std::string_view text) const = 0;

  // Loads url and returns its body: empty data for an empty body, nothing on
  // any failure (no URL, a transport error, an HTTP status of 400 or more, the
  // time-out passed).
  // REQUIRES: not called on the main thread (it blocks up to timeout).
  virtual std::optional<Data> contentsOf(std::string_view url,
                                         std::chrono::milliseconds timeout) = 0;

  // Completes every transfer in flight with a cancellation error and drops
  // later tasks. Idempotent; destruction implies it.
  virtual void shutdown() {}
};

}  // namespace tavrino::platform
