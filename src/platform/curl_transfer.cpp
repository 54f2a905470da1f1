#include "platform/curl_transfer.hpp"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>

namespace tavrino::platform::curl {
namespace {

bool isControlOrSpace(unsigned char c) {
  return c < 0x20 || c == 0x7f || c == ' ';
}

// Eight bytes at a time: every tracking hit's URL is checked on the caller's
// thread. A byte below 0x21 (controls and the space) or equal to 0x7f marks
// its word (bytes of 0x80 and up never do).
bool hasControlOrSpace(std::string_view text) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    const std::uint64_t below = (word - kOnes * 0x21) & ~word & kHighs;
    const std::uint64_t del = word ^ (kOnes * 0x7f);
    const std::uint64_t isDel = (del - kOnes) & ~del & kHighs;
    if ((below | isDel) != 0) return true;
  }
  for (; i < text.size(); ++i) {
    if (isControlOrSpace(static_cast<unsigned char>(text[i]))) return true;
  }
  return false;
}

bool hasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

// The characters of an HTTP token (method and header names).
bool isToken(std::string_view text) {
  static constexpr std::string_view kPunctuation = "!#$%&'*+-.^_`|~";
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
           kPunctuation.find(c) != std::string_view::npos;
  });
}

std::string_view trim(std::string_view text) {
  constexpr std::string_view kBlank = " \t\r\n";
  const auto first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kBlank);
  return text.substr(first, last - first + 1);
}

bool hasHeader(const URLRequest& request, std::string_view name) {
  return std::any_of(request.headers.begin(), request.headers.end(), [&](const auto& header) {
    return std::equal(
        header.first.begin(), header.first.end(), name.begin(), name.end(),
        [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); });
  });
}

bool isHostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_';
}

// Returns true for the URLs the SDK sends nearly always, "http(s)://" + a
// plain host name or IPv4 address + an optional port + anything without
// control characters, which libcurl's parser always accepts. Parsing costs
// microseconds and every tracking hit is checked on its caller's thread;
// everything else goes to the parser.
bool isPlainHttpUrl(std::string_view text) {
  std::string_view rest;
  if (text.starts_with("https://")) {
    rest = text.substr(8);
  } else if (text.starts_with("http://")) {
    rest = text.substr(7);
  } else {
    return false;
  }
  std::size_t host = 0;
  while (host < rest.size() && isHostCharacter(rest[host])) ++host;
  if (host == 0) return false;
  std::size_t end = host;
  if (end < rest.size() && rest[end] == ':') {
    std::size_t digits = 0;
    unsigned port = 0;
    while (++end < rest.size() && rest[end] >= '0' && rest[end] <= '9' && digits < 5) {
      port = port * 10 + static_cast<unsigned>(rest[end] - '0');
      ++digits;
    }
    if (digits == 0 || port == 0 || port > 65535) return false;
  }
  return end == rest.size() || rest[end] == '/' || rest[end] == '?' || rest[end] == '#';
}

}  // namespace

void ensureGlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool formsURL(std::string_view text) {
  if (text.empty() || hasControlOrSpace(text)) return false;
  if (isPlainHttpUrl(text)) return true;
  ensureGlobalInit();
  CURLU* url = curl_url();
  if (url == nullptr) return false;
  bool forms = false;
  const std::string copy(text);
  if (curl_url_set(url, CURLUPART_URL, copy.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK) {
    char* host = nullptr;
    if (curl_url_get(url, CURLUPART_HOST, &host, 0) == CURLUE_OK && host != nullptr) {
      forms = host[0] != '\0';
    }
    curl_free(host);
  }
  curl_url_cleanup(url);
  return forms;
}

URLError errorFor(CURLcode code) {
  return URLError{code, curl_easy_strerror(code)};
}

std::unique_ptr<Transfer> Transfer::make(URLRequest request, DataTaskCompletion completion,
                                         CURL* reused) {
  std::unique_ptr<Transfer> transfer(new Transfer(std::move(request), std::move(completion)));
  transfer->setUpError_ = transfer->setUp(reused);
  return transfer;
}

Transfer::Transfer(URLRequest request, DataTaskCompletion completion)
    : request_(std::move(request)), completion_(std::move(completion)) {}

Transfer::~Transfer() {
  if (easy_ != nullptr) curl_easy_cleanup(easy_);
  curl_slist_free_all(headerList_);
}

std::optional<URLError> Transfer::setUp(CURL* reused) {
  if (reused != nullptr) {
    // Connections, DNS answers and the CA store live in the multi handle, so
    // a reset handle keeps them.
    curl_easy_reset(reused);
    easy_ = reused;
  }
  if (!formsURL(request_.url)) {
    return errorFor(CURLE_URL_MALFORMAT);
  }
  if (!isToken(request_.method)) {
    return errorFor(CURLE_BAD_FUNCTION_ARGUMENT);
  }
  for (const auto& [name, value] : request_.headers) {
    // A line break in a header would smuggle further lines into the request.
    if (!isToken(name) || hasControlCharacter(value)) {
      return errorFor(CURLE_BAD_FUNCTION_ARGUMENT);
    }
  }
  ensureGlobalInit();
  if (easy_ == nullptr) easy_ = curl_easy_init();
  if (easy_ == nullptr) {
    return errorFor(CURLE_FAILED_INIT);
  }

  for (const auto& [name, value] : request_.headers) {
    headerList_ = curl_slist_append(headerList_, (name + ": " + value).c_str());
  }
  // Large bodies would otherwise wait for a "100 Continue" that many servers
  // never send.
  if (!hasHeader(request_, "Expect")) headerList_ = curl_slist_append(headerList_, "Expect:");

  const long timeoutMs =
      request_.timeout.count() > 0 ? static_cast<long>(request_.timeout.count()) : 60000L;
  curl_easy_setopt(easy_, CURLOPT_URL, request_.url.c_str());
  curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(easy_, CURLOPT_TIMEOUT_MS, timeoutMs);
  // Compressed answers are welcome unless the request says otherwise (its
  // own header then goes out instead of curl's).
  if (!hasHeader(request_, "Accept-Encoding")) curl_easy_setopt(easy_, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(easy_, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxBodyBytes));
  curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headerList_);
  curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &Transfer::onBody);
  curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
  curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);

  const auto& method = request_.method;
  const bool sendsBody = method == "POST" || (!request_.body.empty() && method != "GET");
  if (method == "GET") {
    curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L);
  } else if (method == "HEAD") {
    curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
  } else if (method != "POST") {
    curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, method.c_str());
  }
  if (sendsBody) {
    // The body lives in request_, which outlives the handle.
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request_.body.size()));
    curl_easy_setopt(
        easy_, CURLOPT_POSTFIELDS,
        request_.body.empty() ? "" : reinterpret_cast<const char*>(request_.body.data()));
  }
  return std::nullopt;
}

void Transfer::failOnHttpError() {
  curl_easy_setopt(easy_, CURLOPT_FAILONERROR, 1L);
}

std::size_t Transfer::onBody(char* ptr, std::size_t size, std::size_t count, void* self) {
  auto& body = static_cast<Transfer*>(self)->body_;
  const std::size_t bytes = size * count;
  // Returning less than given makes curl fail the transfer.
  if (body.size() + bytes > kMaxBodyBytes) return 0;
  body.insert(body.end(), ptr, ptr + bytes);
  return bytes;
}

std::size_t Transfer::onHeader(char* ptr, std::size_t size, std::size_t count, void* self) {
  auto& headers = static_cast<Transfer*>(self)->responseHeaders_;
  const std::size_t bytes = size * count;
  const std::string_view line(ptr, bytes);
  if (line.starts_with("HTTP/")) {
    // A new status line: a redirect or an interim answer came before.
    headers.clear();
  } else if (const auto colon = line.find(':'); colon != std::string_view::npos) {
    headers.emplace_back(std::string(trim(line.substr(0, colon))),
                         std::string(trim(line.substr(colon + 1))));
  }
  return bytes;
}

bool Transfer::complete(CURLcode result) {
  if (result != CURLE_OK) return fail(errorFor(result));
  URLResponse response;
  long status = 0;
  curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
  response.statusCode = static_cast<int>(status);
  char* url = nullptr;
  curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &url);
  response.url = url != nullptr ? url : request_.url;
  response.headers = std::move(responseHeaders_);
  std::optional<Data> data;
  if (!body_.empty()) data = std::move(body_);
  return invoke(std::move(data), std::move(response), std::nullopt);
}

bool Transfer::fail(const URLError& error) {
  return invoke(std::nullopt, std::nullopt, error);
}

bool Transfer::invoke(std::optional<Data> data, std::optional<URLResponse> response,
                      std::optional<URLError> error) {
  auto completion = std::exchange(completion_, nullptr);
  if (!completion) return true;
  try {
    completion(std::move(data), std::move(response), std::move(error));
  } catch (...) {
    return false;
  }
  return true;
}

SigpipeGuard::SigpipeGuard() {
  sigset_t pipe, old, pending;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, &old);
  wasBlocked_ = sigismember(&old, SIGPIPE) == 1;
  sigpending(&pending);
  wasPending_ = sigismember(&pending, SIGPIPE) == 1;
}

SigpipeGuard::~SigpipeGuard() {
  sigset_t pipe, pending;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  if (!wasPending_ && sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1) {
    const timespec now{0, 0};
    sigtimedwait(&pipe, nullptr, &now);
  }
  if (!wasBlocked_) pthread_sigmask(SIG_UNBLOCK, &pipe, nullptr);
}

}  // namespace tavrino::platform::curl
