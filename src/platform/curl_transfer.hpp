#pragma once

// One libcurl transfer: the easy handle set up from a URLRequest, the answer
// it collects and the completion it owes. Shared by the session's background
// transfers and its blocking loads.
//
// Thread-safety: a Transfer is used by one thread at a time. The free
// functions may be called from any thread.

#include <curl/curl.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "tavrino/platform/url_session.hpp"

namespace tavrino::platform::curl {

// Answers larger than this are cut off with an error rather than held in
// memory: nothing the SDK loads comes near it.
inline constexpr std::size_t kMaxBodyBytes = 8 * 1024 * 1024;

// Redirects followed before the transfer fails.
inline constexpr long kMaxRedirects = 5;

// Runs curl_global_init once per process.
void ensureGlobalInit();

// Returns true iff text is an absolute URL with a scheme and a host to
// libcurl's URL parser and holds no control character or space.
bool formsURL(std::string_view text);

// Returns the error for a libcurl code: the code and curl's own text.
URLError errorFor(CURLcode code);

class Transfer {
 public:
  // Returns the transfer set up for request, on reused (reset first) when
  // given, else on a new easy handle. When the request cannot be sent (no
  // URL, a bad method or header) setUpError() says why; reused is then still
  // owned by the transfer.
  static std::unique_ptr<Transfer> make(URLRequest request, DataTaskCompletion completion,
                                        CURL* reused = nullptr);

  ~Transfer();
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  CURL* handle() const { return easy_; }
  // Gives up the easy handle (out of any multi handle by now) for reuse.
  CURL* releaseHandle() { return std::exchange(easy_, nullptr); }
  const std::optional<URLError>& setUpError() const { return setUpError_; }

  // Makes an HTTP status of 400 or more a failure (for blocking loads).
  void failOnHttpError();

  // The body received so far.
  Data& body() { return body_; }

  // Calls the completion with the outcome of a finished transfer. The
  // completion runs at most once; exceptions it throws are swallowed and
  // reported as false.
  bool complete(CURLcode result);
  // Calls the completion with an error.
  bool fail(const URLError& error);

 private:
  Transfer(URLRequest request, DataTaskCompletion completion);
  std::optional<URLError> setUp(CURL* reused);
  bool invoke(std::optional<Data> data, std::optional<URLResponse> response,
              std::optional<URLError> error);

  static std::size_t onBody(char* ptr, std::size_t size, std::size_t count, void* self);
  static std::size_t onHeader(char* ptr, std::size_t size, std::size_t count, void* self);

  URLRequest request_;
  DataTaskCompletion completion_;
  std::optional<URLError> setUpError_;
  CURL* easy_ = nullptr;
  curl_slist* headerList_ = nullptr;
  Data body_;
  std::vector<std::pair<std::string, std::string>> responseHeaders_;
};

// Blocks SIGPIPE on the calling thread while alive and discards one that the
// transfer raised, so a peer closing its end cannot end the process.
class SigpipeGuard {
 public:
  SigpipeGuard();
  ~SigpipeGuard();
  SigpipeGuard(const SigpipeGuard&) = delete;
  SigpipeGuard& operator=(const SigpipeGuard&) = delete;

 private:
  bool wasPending_ = false;
  bool wasBlocked_ = false;
};

}  // namespace tavrino::platform::curl
