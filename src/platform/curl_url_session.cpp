#include "platform/curl_url_session.hpp"

#include <pthread.h>
#include <signal.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>

#include "platform/curl_transfer.hpp"

namespace tavrino::platform {
namespace {

using curl::Transfer;

// How long the session thread sleeps when nothing happens; new tasks and
// shutdown wake it at once.
constexpr int kIdlePollMs = 1000;

// Bursts of tracking hits share this many connections per host; the rest
// wait inside curl (their time-outs run while they wait).
constexpr long kMaxConnectionsPerHost = 16;

class CurlURLSession final : public URLSession {
 public:
  explicit CurlURLSession(Log& log) : log_(log) {
    curl::ensureGlobalInit();
    multi_ = curl_multi_init();
    if (multi_ == nullptr) {
      log_.log("URL session: curl_multi_init failed; every request will fail");
    } else {
      curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, kMaxConnectionsPerHost);
    }
    thread_ = std::thread([this] { run(); });
  }

  ~CurlURLSession() override {
    shutdown();
    if (multi_ != nullptr) curl_multi_cleanup(multi_);
  }

  void shutdown() override {
    {
      std::lock_guard lock(mu_);
      stopping_ = true;
      wake();
    }
    cv_.notify_all();
    std::lock_guard lock(joinMutex_);
    if (thread_.joinable()) thread_.join();
  }

  void dataTask(URLRequest request, DataTaskCompletion completion) override {
    auto transfer = Transfer::make(std::move(request), std::move(completion));
    {
      std::lock_guard lock(mu_);
      // Past the final drain nobody is left to run the completion.
      if (closed_) return;
      incoming_.push_back(std::move(transfer));
      wake();
    }
    cv_.notify_all();
  }

  bool formsURL(std::string_view text) const override { return curl::formsURL(text); }

  std::optional<Data> contentsOf(std::string_view url, std::chrono::milliseconds timeout) override {
    URLRequest request;
    request.url = std::string(url);
    request.timeout = timeout;
    auto transfer = Transfer::make(std::move(request), nullptr);
    if (transfer->setUpError()) return std::nullopt;
    transfer->failOnHttpError();
    CURLcode result;
    {
      curl::SigpipeGuard guard;
      result = curl_easy_perform(transfer->handle());
    }
    if (result != CURLE_OK) return std::nullopt;
    return std::move(transfer->body());
  }

 private:
  // REQUIRES: mu_ held (the multi handle outlives every holder of mu_).
  void wake() {
    if (multi_ != nullptr) curl_multi_wakeup(multi_);
  }

  void run() {
    // OpenSSL may write to a socket the peer has closed; on this thread that
    // must fail the write, not end the process.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

    while (true) {
      std::deque<std::unique_ptr<Transfer>> batch;
      {
        std::unique_lock lock(mu_);
        if (multi_ == nullptr) cv_.wait(lock, [this] { return stopping_ || !incoming_.empty(); });
        if (stopping_) break;
        batch.swap(incoming_);
      }
      for (auto& transfer : batch) start(std::move(transfer));
      if (multi_ == nullptr) continue;
      int running = 0;
      curl_multi_perform(multi_, &running);
      finishDone();
      curl_multi_poll(multi_, nullptr, 0, kIdlePollMs, nullptr);
    }
    cancelEverything();
  }

  void start(std::unique_ptr<Transfer> transfer) {
    if (const auto& error = transfer->setUpError()) return finish(*transfer, *error);
    if (multi_ == nullptr) return finish(*transfer, curl::errorFor(CURLE_OUT_OF_MEMORY));
    if (const CURLMcode code = curl_multi_add_handle(multi_, transfer->handle());
        code != CURLM_OK) {
      return finish(*transfer, URLError{CURLE_FAILED_INIT, curl_multi_strerror(code)});
    }
    CURL* handle = transfer->handle();
    active_.emplace(handle, std::move(transfer));
  }

  void finishDone() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
      if (message->msg != CURLMSG_DONE) continue;
      CURL* handle = message->easy_handle;
      const CURLcode result = message->data.result;
      curl_multi_remove_handle(multi_, handle);
      auto found = active_.find(handle);
      if (found == active_.end()) continue;
      auto transfer = std::move(found->second);
      active_.erase(found);
      if (!transfer->complete(result)) logThrow();
    }
  }

  void finish(Transfer& transfer, const URLError& error) {
    if (!transfer.fail(error)) logThrow();
  }

  void cancelEverything() {
    const URLError cancelled = curl::errorFor(static_cast<CURLcode>(kCancelledCode));
    auto active = std::move(active_);
    for (auto& [handle, transfer] : active) {
      curl_multi_remove_handle(multi_, handle);
      finish(*transfer, cancelled);
    }
    // Completions may start further tasks; those are cancelled as well.
    while (true) {
      std::deque<std::unique_ptr<Transfer>> batch;
      {
        std::lock_guard lock(mu_);
        if (incoming_.empty()) {
          closed_ = true;
          return;
        }
        batch.swap(incoming_);
      }
      for (auto& transfer : batch) finish(*transfer, cancelled);
    }
  }

  void logThrow() { log_.log("URL session: a completion threw; its exception was dropped"); }

  Log& log_;
  CURLM* multi_ = nullptr;
  std::thread thread_;
  std::mutex joinMutex_;  // serialises shutdown() callers

  std::mutex mu_;
  std::condition_variable cv_;  // stands in for curl_multi_wakeup without a multi handle
  std::deque<std::unique_ptr<Transfer>> incoming_;  // guarded by mu_
  bool stopping_ = false;                           // guarded by mu_
  bool closed_ = false;                             // guarded by mu_

  // Session thread only.
  std::unordered_map<CURL*, std::unique_ptr<Transfer>> active_;
};

}  // namespace

std::unique_ptr<URLSession> makeCurlURLSession(Log& log) {
  return std::make_unique<CurlURLSession>(log);
}

}  // namespace tavrino::platform
