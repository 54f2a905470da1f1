#include "service/guarded_server.hpp"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "service/connection_stream.hpp"

namespace tavrino::service {
namespace {

using std::chrono::milliseconds;

// Set while the accept thread runs a connection it has no thread for.
thread_local bool tRefusing = false;
thread_local ConnectionStream* tConnection = nullptr;

milliseconds toMilliseconds(time_t sec, time_t usec) {
  return milliseconds(sec * 1000 + usec / 1000);
}

// Half-closes, then reads what the client still sends for a moment, so that
// the answer is not lost to a reset for unread bytes.
void lingeringClose(socket_t sock) {
  ::shutdown(sock, SHUT_WR);
  char scratch[4096];
  for (int i = 0; i < 16; ++i) {
    pollfd ready{sock, POLLIN, 0};
    if (::poll(&ready, 1, 100) != 1 || ::recv(sock, scratch, sizeof scratch, 0) <= 0) break;
  }
  ::close(sock);
}

}  // namespace

void closeConnectionAfterAnswer() {
  if (tConnection != nullptr) tConnection->closeAfterAnswer();
}

class GuardedServer::Threads final : public httplib::TaskQueue {
 public:
  explicit Threads(std::size_t cap) : cap_(cap) {}
  ~Threads() override { shutdown(); }

  void enqueue(std::function<void()> fn) override {
    auto task = std::make_shared<std::function<void()>>(std::move(fn));
    if (start(task)) return;
    // Never throws out of the accept loop: the connection is refused.
    tRefusing = true;
    (*task)();
    tRefusing = false;
  }

  void shutdown() override {
    std::vector<Worker> workers;
    {
      std::lock_guard lock(mu_);
      workers.swap(workers_);
    }
    for (auto& worker : workers) worker.thread.join();
  }

 private:
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };

  bool start(const std::shared_ptr<std::function<void()>>& task) {
    std::lock_guard lock(mu_);
    // Joins the threads whose connection has ended.
    std::erase_if(workers_, [](Worker& worker) {
      if (!worker.done->load()) return false;
      worker.thread.join();
      return true;
    });
    if (workers_.size() >= cap_) return false;
    try {
      workers_.reserve(workers_.size() + 1);
      auto done = std::make_shared<std::atomic<bool>>(false);
      std::thread thread([task, done] {
        (*task)();
        done->store(true);
      });
      workers_.push_back({std::move(thread), std::move(done)});
      return true;
    } catch (const std::exception&) {
      return false;  // no thread (or memory) to be had
    }
  }

  const std::size_t cap_;
  std::mutex mu_;
  std::vector<Worker> workers_;  // guarded by mu_
};

GuardedServer::GuardedServer(const Limits& limits) : limits_(limits) {
  new_task_queue = [cap = limits.maxConnections] { return new Threads(cap); };
  set_payload_max_length(limits.maxBodyBytes);
}

void GuardedServer::widenListenBacklog() {
  // Listening again on a listening socket only changes its backlog.
  ::listen(svr_sock_, SOMAXCONN);
}

void GuardedServer::shutdownConnections() {
  std::lock_guard lock(mu_);
  for (const socket_t sock : open_) ::shutdown(sock, SHUT_RDWR);
}

bool GuardedServer::process_and_close_socket(socket_t sock) {
  std::string client;
  bool admitted = false;
  bool served = false;
  try {
    admitted = !tRefusing && admit(sock, &client);
    if (admitted) served = serve(sock);
  } catch (const std::exception&) {
    // A failed allocation ends this connection, not the service.
  }
  tConnection = nullptr;
  if (!admitted) {
    sendBareAnswer(sock, 503);
    ::close(sock);
    return false;
  }
  release(sock, client);
  lingeringClose(sock);
  return served;
}

bool GuardedServer::serve(socket_t sock) {
  ConnectionStream stream(sock, limits_, toMilliseconds(read_timeout_sec_, read_timeout_usec_),
                          toMilliseconds(write_timeout_sec_, write_timeout_usec_));
  tConnection = &stream;
  const milliseconds idle = toMilliseconds(keep_alive_timeout_sec_, 0);
  bool served = false;
  for (std::size_t left = keep_alive_max_count_;
       left > 0 && svr_sock_ != INVALID_SOCKET && stream.waitForRequest(idle); --left) {
    stream.beginRequest();
    bool clientCloses = false;
    served = process_request(stream, left == 1, clientCloses, nullptr);
    if (!served || clientCloses || stream.closing()) break;
  }
  return served;
}

bool GuardedServer::admit(socket_t sock, std::string* client) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getpeername(sock, reinterpret_cast<sockaddr*>(&address), &length) != 0) return false;
  // The address bytes name the client; the port differs per connection.
  const auto* in = reinterpret_cast<const sockaddr_in*>(&address);
  client->assign(reinterpret_cast<const char*>(&in->sin_addr), sizeof in->sin_addr);
  std::lock_guard lock(mu_);
  std::size_t& count = perClient_[*client];
  if (count >= limits_.maxConnectionsPerClient) {
    if (count == 0) perClient_.erase(*client);
    return false;
  }
  ++count;
  open_.insert(sock);
  return true;
}

void GuardedServer::release(socket_t sock, const std::string& client) {
  std::lock_guard lock(mu_);
  if (--perClient_[client] == 0) perClient_.erase(client);
  open_.erase(sock);
}

}  // namespace tavrino::service
