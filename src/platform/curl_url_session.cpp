#include "platform/curl_url_session.hpp"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/curl_transfer.hpp"

namespace tavrino::platform {
namespace {

using curl::Transfer;

// How long the session thread sleeps when nothing happens; new tasks and
// shutdown wake it at once.
constexpr int kIdlePollMs = 1000;
// How long a session with transfers under way waits before it looks for new
// tasks: callers then queue without waking it (a write to a pipe each).
constexpr int kBusyPollMs = 2;

// Bursts of tracking hits share this many connections per host.
constexpr long kMaxConnectionsPerHost = 16;

// Finished easy handles kept for the next transfers: a burst of hits sets up
// no new handle.
constexpr std::size_t kMaxIdleHandles = 32;

// Transfers in the multi handle at once; later tasks wait in the session's
// own queue, in order. A time-out runs from a transfer's start, so a burst of
// hits larger than what the connections carry within one time-out is sent
// late rather than timed out unsent. No more than one host's connections:
// a transfer curl holds back for a connection would have its time-out
// running while it waits.
constexpr std::size_t kMaxActiveTransfers = kMaxConnectionsPerHost;

// A task as handed over by the caller; it is set up on the session thread.
struct PendingTask {
  URLRequest request;
  DataTaskCompletion completion;
};

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
    // TLS sessions outlive the handle that negotiated them (DNS answers and
    // connections are the multi handle's already). Session thread only: no
    // locks needed.
    share_ = curl_share_init();
    if (share_ != nullptr) curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    thread_ = std::thread([this] { run(); });
  }

  ~CurlURLSession() override {
    shutdown();
    for (CURL* handle : idleHandles_) curl_easy_cleanup(handle);
    if (multi_ != nullptr) curl_multi_cleanup(multi_);
    if (share_ != nullptr) curl_share_cleanup(share_);
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

  // Only queues the task: the caller may be the main thread or a tracking
  // call, so setting up the handle waits for the session thread.
  void dataTask(URLRequest request, DataTaskCompletion completion) override {
    {
      std::lock_guard lock(mu_);
      // Past the final drain nobody is left to run the completion.
      if (closed_) return;
      incoming_.push_back({std::move(request), std::move(completion)});
      if (multi_ != nullptr) {
        // A busy session looks for new tasks every few milliseconds anyway;
        // an idle one is woken once, whatever is queued before it looks.
        if (!sessionIdle_ || wakePending_) return;
        wakePending_ = true;
        wake();
        return;
      }
    }
    cv_.notify_all();
  }

  bool formsURL(std::string_view text) const override { return curl::formsURL(text); }

  std::optional<Data> contentsOf(std::string_view url, std::chrono::milliseconds timeout) override {
    URLRequest request;
    request.url = std::string(url);
    request.timeout = timeout;
    if (abortLoads_.load()) return std::nullopt;
    auto transfer = Transfer::make(std::move(request), nullptr);
    if (transfer->setUpError()) return std::nullopt;
    transfer->failOnHttpError();
    curl_easy_setopt(transfer->handle(), CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(transfer->handle(), CURLOPT_XFERINFOFUNCTION, &stopIfAborted);
    curl_easy_setopt(transfer->handle(), CURLOPT_XFERINFODATA, &abortLoads_);
    CURLcode result;
    {
      curl::SigpipeGuard guard;
      result = curl_easy_perform(transfer->handle());
    }
    if (result != CURLE_OK) return std::nullopt;
    return std::move(transfer->body());
  }

  // Ends a blocking load (curl asks at least once a second) once shutdown
  // began.
  static int stopIfAborted(void* abort, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<std::atomic<bool>*>(abort)->load() ? 1 : 0;
  }

  // REQUIRES: mu_ held (the multi handle outlives every holder of mu_).
  void wake() {
    if (multi_ != nullptr) curl_multi_wakeup(multi_);
  }

  void abortBlockingLoads() { abortLoads_.store(true); }

 private:
  void run() {
    // OpenSSL may write to a socket the peer has closed; on this thread that
    // must fail the write, not end the process.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

    while (true) {
      std::deque<PendingTask> batch;
      {
        std::unique_lock lock(mu_);
        if (multi_ == nullptr) cv_.wait(lock, [this] { return stopping_ || !incoming_.empty(); });
        if (stopping_) break;
        batch.swap(incoming_);
        wakePending_ = false;
      }
      for (auto& task : batch) backlog_.push_back(std::move(task));
      startWaiting();
      if (multi_ == nullptr) continue;
      int running = 0;
      curl_multi_perform(multi_, &running);
      finishDone();
      startWaiting();
      bool idle = false;
      {
        std::lock_guard lock(mu_);
        if (!incoming_.empty() || stopping_) continue;
        idle = active_.empty() && backlog_.empty();
        sessionIdle_ = idle;
      }
      curl_multi_poll(multi_, nullptr, 0, idle ? kIdlePollMs : kBusyPollMs, nullptr);
      std::lock_guard lock(mu_);
      sessionIdle_ = false;
    }
    cancelEverything();
  }

  void startWaiting() {
    while (!backlog_.empty() && active_.size() < kMaxActiveTransfers) {
      PendingTask task = std::move(backlog_.front());
      backlog_.pop_front();
      start(std::move(task));
    }
  }

  void start(PendingTask task) {
    CURL* reused = nullptr;
    if (!idleHandles_.empty()) {
      reused = idleHandles_.back();
      idleHandles_.pop_back();
    }
    auto transfer = Transfer::make(std::move(task.request), std::move(task.completion), reused);
    if (share_ != nullptr && transfer->handle() != nullptr) {
      curl_easy_setopt(transfer->handle(), CURLOPT_SHARE, share_);
    }
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
      if (idleHandles_.size() < kMaxIdleHandles) idleHandles_.push_back(transfer->releaseHandle());
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
    std::deque<PendingTask> batch = std::move(backlog_);
    while (true) {
      for (auto& task : batch) {
        try {
          if (task.completion) task.completion(std::nullopt, std::nullopt, cancelled);
        } catch (...) {
          logThrow();
        }
      }
      batch.clear();
      {
        std::lock_guard lock(mu_);
        if (incoming_.empty()) {
          closed_ = true;
          return;
        }
        batch.swap(incoming_);
      }
    }
  }

  void logThrow() { log_.log("URL session: a completion threw; its exception was dropped"); }

  Log& log_;
  CURLM* multi_ = nullptr;
  CURLSH* share_ = nullptr;
  std::atomic<bool> abortLoads_{false};
  std::thread thread_;
  std::mutex joinMutex_;  // serialises shutdown() callers

  std::mutex mu_;
  std::condition_variable cv_;        // stands in for curl_multi_wakeup without a multi handle
  std::deque<PendingTask> incoming_;  // guarded by mu_
  bool wakePending_ = false;          // guarded by mu_
  bool sessionIdle_ = false;          // guarded by mu_; polling with nothing under way
  bool stopping_ = false;             // guarded by mu_
  bool closed_ = false;               // guarded by mu_

  // Session thread only.
  std::unordered_map<CURL*, std::unique_ptr<Transfer>> active_;
  std::vector<CURL*> idleHandles_;
  std::deque<PendingTask> backlog_;  // handed over, not started yet
};

}  // namespace

std::unique_ptr<URLSession> makeCurlURLSession(Log& log) {
  return std::make_unique<CurlURLSession>(log);
}

void abortBlockingLoads(URLSession& session) {
  if (auto* curl = dynamic_cast<CurlURLSession*>(&session)) curl->abortBlockingLoads();
}

}  // namespace tavrino::platform
